#include "game/PreloadedContent.h"

#include <system_error>

#include <engine/audio/Clip.h>
#include <engine/core/Log.h>
#include <engine/core/Thread.h>
#include <engine/render/Texture.h>

namespace Engine {

namespace {

template <typename T> using Made = PreloadedContent::Made<T>;
template <typename T> using Ahead = PreloadedContent::Ahead<T>;

template <typename T> Ahead<T> Expect(std::string path, std::promise<Made<T>>& promise) {
    return Ahead<T>{std::move(path), promise.get_future()};
}

// Runs make on the helper thread, keeping what it logs and what it throws.
template <typename T, typename F> void Fulfil(std::promise<Made<T>>& promise, F&& make) {
    Made<T> made;
    {
        Log::Capture capture;
        try {
            made.value.emplace(make());
        } catch (...) {
            made.error = std::current_exception();
        }
        made.log = capture.Take();
    }
    promise.set_value(std::move(made));
}

// The file's result when it was read ahead under this path and not yet taken;
// its lines are written and its error thrown here.
template <typename T> std::optional<T> Take(Ahead<T>& ahead, const std::string& path) {
    if (!ahead.made.valid() || ahead.path != path)
        return std::nullopt;
    Made<T> made = ahead.made.get();
    Log::Replay(made.log);
    if (made.error)
        std::rethrow_exception(made.error);
    return std::move(made.value);
}

} // namespace

PreloadedContent::PreloadedContent() {
    std::promise<Made<FontBitmap>> font;
    std::promise<Made<Image>> boat, fish;
    std::promise<Made<Music>> music;
    std::promise<Made<LevelAndTiles>> level;
    m_font = Expect(SceneFiles::FONT, font);
    m_images.push_back(Expect(SceneFiles::BOAT_SHEET, boat));
    m_images.push_back(Expect(SceneFiles::FISH, fish));
    m_music = Expect(SceneFiles::MUSIC, music);
    m_level = Expect(Level::PATH, level);

    // In the order the scene takes them.
    auto readAll = [font = std::move(font), boat = std::move(boat), fish = std::move(fish),
                    music = std::move(music), level = std::move(level)]() mutable {
        // The files are still read long before the scene asks for them.
        LowerThreadPriority();
        Fulfil(font, [] { return FontRasterizer().Rasterize(SceneFiles::FONT); });
        Fulfil(boat, [] { return Image::Load(SceneFiles::BOAT_SHEET); });
        Fulfil(fish, [] { return Image::Load(SceneFiles::FISH); });
        Fulfil(music, [] {
            Music m;
            m.clip = Clip::ReadClipRW(SDL_RWFromFile(SceneFiles::MUSIC, "rb"), m.error);
            return m;
        });
        Fulfil(level, [] {
            LevelAndTiles read;
            read.level = Level::Load(Level::PATH);
            read.tiles = Image::Load(read.level.tilemapPath);
            return read;
        });
        // SDL keeps what this thread used of it (its error text) until told
        // the thread is done.
        SDL_TLSCleanup();
    };
    try {
        m_helper = std::thread(std::move(readAll));
    } catch (const std::system_error&) {
        // No thread to be had: every file is read in place.
        m_font = {};
        m_images.clear();
        m_music = {};
        m_level = {};
    }
}

PreloadedContent::~PreloadedContent() {
    if (m_helper.joinable())
        m_helper.join();
}

Font PreloadedContent::LoadFont(const char* path) {
    if (path)
        if (std::optional<FontBitmap> bitmap = Take(m_font, path))
            return Font::Upload(*bitmap);
    return SceneContent::LoadFont(path);
}

Ref<Texture2D> PreloadedContent::LoadTexture(const std::string& path) {
    for (Ahead<Image>& ahead : m_images)
        if (std::optional<Image> image = Take(ahead, path))
            return Texture2D::Create(path, *image);
    return SceneContent::LoadTexture(path);
}

Ref<Clip> PreloadedContent::LoadMusic(const std::string& path) {
    if (std::optional<Music> music = Take(m_music, path))
        return Clip::AddClip(std::move(music->clip), music->error);
    return SceneContent::LoadMusic(path);
}

LevelData PreloadedContent::LoadLevel(const std::string& path) {
    std::optional<LevelAndTiles> read = Take(m_level, path);
    if (!read)
        return SceneContent::LoadLevel(path);
    // The tile set joins the images read ahead, under the path the level names.
    std::promise<Made<Image>> tiles;
    m_images.push_back(Expect(read->level.tilemapPath, tiles));
    tiles.set_value(Made<Image>{std::move(read->tiles), nullptr, ""});
    return std::move(read->level);
}

} // namespace Engine
