#pragma once

#include <exception>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <engine/image/Image.h>
#include <engine/text/Font.h>

#include "game/Level.h"
#include "game/Scene.h"

namespace Engine {

// The scene's content with its files read ahead. A helper thread, started
// with the object, reads and decodes the font, the images, the music and the
// level (then the tile set it names) while the window opens; each Load waits
// for its file and does only the rest there (the GL uploads, joining the
// audio list). What reading a file logged is written when the scene takes
// the file, and a level's error is thrown there, so the output is as if each
// file were read in its place. A file asked for under another path, or a
// second time, is read in place.
class PreloadedContent : public SceneContent {
public:
    PreloadedContent();
    // Waits for the helper thread.
    ~PreloadedContent() override;
    PreloadedContent(const PreloadedContent&) = delete;
    PreloadedContent& operator=(const PreloadedContent&) = delete;

    Font LoadFont(const char* path) override;
    Ref<Texture2D> LoadTexture(const std::string& path) override;
    Ref<Clip> LoadMusic(const std::string& path) override;
    LevelData LoadLevel(const std::string& path) override;

    // The bookkeeping of reading ahead, named here for the source file's
    // helpers. What reading one file ahead gave, with the lines it logged:
    template <typename T> struct Made {
        std::optional<T> value;
        std::exception_ptr error;
        std::string log;
    };
    template <typename T> struct Ahead {
        std::string path;
        std::future<Made<T>> made;
    };
    struct Music {
        Ref<Clip> clip;
        std::string error;
    };
    struct LevelAndTiles {
        LevelData level;
        Image tiles;
    };

private:
    Ahead<FontBitmap> m_font;
    std::vector<Ahead<Image>> m_images;
    Ahead<Music> m_music;
    Ahead<LevelAndTiles> m_level;
    std::thread m_helper;
};

} // namespace Engine
