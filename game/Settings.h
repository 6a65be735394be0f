#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Engine {

// What the player chose and the game keeps from one run to the next, as a
// JSON object in its own file: {"sound": false, "fullscreen": true}. Keys the
// game does not know (a later version's) are written back as they were read.
struct Settings {
    // A settings file is a few dozen bytes; anything past this is no settings.
    static constexpr size_t MAX_BYTES = 64 * 1024;
    // Deeper is no settings either, and could exhaust the stack when written.
    static constexpr int MAX_DEPTH = 32;

    bool sound = true;
    bool fullscreen = false;
    // Frames drawn a second at most, "max_fps", set by hand (the game never
    // writes it); 0, the default, draws as fast as the screen takes them.
    int maxFps = 0;
    static constexpr int MAX_FPS = 1000;
    // The object the file held, the keys above among them; empty for none.
    std::string read;
    // Why the file's settings were ignored, naming it, for the window to
    // show a player who never sees the terminal; empty when they were not.
    std::string problem;

    // The settings in text, a file's content. Anything but a JSON object whose
    // "sound" and "fullscreen", where present, are true or false and whose
    // "max_fps" is a whole number from 0 to MAX_FPS is the defaults, with one
    // warning naming where.
    static Settings Parse(std::string_view text, const std::string& where);
    // The settings at path: the defaults, quietly, when there is no such file
    // or no path; with one warning when it cannot be read or used (Parse).
    static Settings Load(const std::string& path);
    // The file's text: what was read, with the two choices set.
    std::string Text() const;
    // Replaces the file at path whole (Files::SaveText); false, with a
    // warning, when it cannot.
    bool Save(const std::string& path) const;
};

// The game's settings file, in the desktop's folder for settings; with make,
// the folder is made if missing, and empty with a warning when it cannot be.
// Without, nothing is made: a run in which the player changes nothing writes
// nothing.
std::string SettingsPath(bool make);

} // namespace Engine
