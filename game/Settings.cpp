#include "game/Settings.h"

#include <filesystem>
#include <optional>

#include <nlohmann/json.hpp>

#include <engine/core/Files.h>
#include <engine/core/Log.h>

namespace Engine {

using json = nlohmann::json;

namespace {
constexpr const char* SOUND = "sound";
constexpr const char* FULLSCREEN = "fullscreen";
constexpr const char* FPS_CAP = "max_fps";

// The choice under key, or nothing when the value is not true or false.
// An absent key is the default.
bool Read(const json& doc, const char* key, bool& choice) {
    const auto found = doc.find(key);
    if (found == doc.end())
        return true;
    if (!found->is_boolean())
        return false;
    choice = found->get<bool>();
    return true;
}

// A whole number from 0 to most under key; 60.0 counts, 60.5 does not.
bool Read(const json& doc, const char* key, int most, int& number) {
    const auto found = doc.find(key);
    if (found == doc.end())
        return true;
    if (!found->is_number())
        return false;
    const double value = found->get<double>();
    if (!(value >= 0 && value <= most) || value != static_cast<int>(value))
        return false;
    number = static_cast<int>(value);
    return true;
}
} // namespace

Settings Settings::Parse(std::string_view text, const std::string& where) {
    bool deep = false;
    auto keep = [&](int depth, json::parse_event_t, json&) {
        deep = deep || depth > MAX_DEPTH;
        return !deep;
    };
    const json doc = json::parse(text, keep, false);
    const char* problem = nullptr;
    Settings settings;
    if (deep)
        problem = "nested too deep";
    else if (doc.is_discarded())
        problem = "not JSON";
    else if (!doc.is_object())
        problem = "not a JSON object";
    else if (!Read(doc, SOUND, settings.sound))
        problem = "\"sound\" is not true or false";
    else if (!Read(doc, FULLSCREEN, settings.fullscreen))
        problem = "\"fullscreen\" is not true or false";
    else if (!Read(doc, FPS_CAP, MAX_FPS, settings.maxFps))
        problem = "\"max_fps\" is not a whole number from 0 to 1000";
    if (problem) {
        Settings defaults;
        defaults.problem =
            "Ignored " + where + " (" + problem + "): playing with the default settings";
        Log::Warn("SETTINGS", "%s", defaults.problem.c_str());
        return defaults;
    }
    settings.read = text;
    return settings;
}

Settings Settings::Load(const std::string& path) {
    if (path.empty())
        return {};
    const std::optional<std::string> text = Files::LoadText(path, MAX_BYTES);
    if (text)
        return Parse(*text, path);
    Settings defaults;
    // LoadText has warned of a file that is there but cannot be read.
    std::error_code error;
    if (std::filesystem::exists(path, error))
        defaults.problem = "Could not read " + path + ": playing with the default settings";
    return defaults;
}

std::string Settings::Text() const {
    json doc = json::parse(read, nullptr, false);
    if (!doc.is_object())
        doc = json::object();
    doc[SOUND] = sound;
    doc[FULLSCREEN] = fullscreen;
    return doc.dump(2) + "\n";
}

bool Settings::Save(const std::string& path) const {
    return Files::SaveText(path, Text());
}

std::string SettingsPath(bool make) {
    const std::string dir = Files::ConfigDir("sailhop", make);
    return dir.empty() ? dir : dir + "/settings.json";
}

} // namespace Engine
