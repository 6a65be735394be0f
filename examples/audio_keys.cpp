// Audio: a two-second tune streams from its file and loops from the start, and keys play short effects over it: J a
// jump, C a coin, H a hit. Each press is a voice of its own, so quick presses overlap rather
// than cut each other off. UP and DOWN play the effects a semitone higher or lower, LEFT and
// RIGHT move them across. M stops the tune and starts it again. T, held, sounds a tone the
// program makes as it plays. A bar shows where the tune is, and each effect's ball lights up
// while it sounds.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <engine/audio/AudioStream.h>
#include <engine/audio/Music.h>
#include <engine/audio/Sound.h>
#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/render/Draw.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 800;
constexpr int HEIGHT = 450;

struct Effect {
    int key;
    const char* file;
    const char* label;
    Ref<Sound> sound;
};

class AudioKeys : public Scene {
public:
    void Build(::Engine::Engine&) override {
        // Engine::Start has opened the device; sounds are converted to its format as they
        // load, while music is read a piece at a time as it plays, however long it is. One
        // that cannot be read is null, with a warning, and the program goes on without it.
        m_tune = Music::Load(EXAMPLE_ASSETS "loop.wav");
        if (m_tune) {
            m_tune->SetLooping(true);
            m_tune->Play();
        }
        for (Effect& e : m_effects)
            e.sound = Sound::Load(std::string(EXAMPLE_ASSETS) + e.file);
        m_tone = AudioStream::Create(22050);
        if (m_tone)
            m_tone->Play();
    }

    void Update() override {
        // Made as it plays, kept a tenth of a second ahead of the device: 330 Hz while T is held.
        while (m_tone && Input::IsKeyPressed(SDLK_t) && m_tone->GetQueued() < 0.1) {
            float wave[441];
            for (float& v : wave)
                v = 0.3f * float(std::sin(6.2831853 * 330 * double(m_toneAt++) / 22050));
            m_tone->Push(wave);
        }
        // Keys act when they go down, not for as long as they are held.
        if (m_tune && Input::WasKeyPressed(SDLK_m)) {
            if (m_tune->IsPlaying())
                m_tune->Stop();
            else
                m_tune->Play();
        }
        // Pitch and pan reach the voices sounding too, not just the next ones.
        const int semitones =
            m_semitones + Input::WasKeyPressed(SDLK_UP) - Input::WasKeyPressed(SDLK_DOWN);
        const float pan = m_pan + 0.5f * float(Input::WasKeyPressed(SDLK_RIGHT) -
                                               Input::WasKeyPressed(SDLK_LEFT));
        m_semitones = std::clamp(semitones, -12, 12);
        m_pan = std::clamp(pan, -1.0f, 1.0f);
        for (Effect& e : m_effects) {
            if (!e.sound)
                continue;
            // Twelve semitones make an octave, which doubles the pitch.
            e.sound->SetPitch(std::exp2(float(m_semitones) / 12));
            e.sound->SetPan(m_pan);
            if (Input::WasKeyPressed(e.key))
                e.sound->Play();
        }
    }

    void Draw(const Uni<Renderer>&) override {
        Draw::Text("Audio", {40, 26}, 48, WHITE);
        Draw::Text("M stops the tune and starts it again", {40, 112}, 19, WHITE);
        char line[64];
        std::snprintf(line, sizeof line, "UP/DOWN pitch: %+d semitones", m_semitones);
        Draw::Text(line, {40, 140}, 19, WHITE);
        // Where the effects sit, left to right.
        Draw::Text("LEFT/RIGHT pan", {420, 140}, 19, WHITE);
        Draw::Rect({580, 149, 160, 2}, GRAY);
        Draw::Circle({660 + 80 * m_pan, 150}, 7, GOLD);
        for (size_t i = 0; i < m_effects.size(); ++i) {
            const Effect& e = m_effects[i];
            const float y = 200 + 60 * float(i);
            // A ball shown full size while its effect sounds, small otherwise.
            const bool playing = e.sound && e.sound->IsPlaying();
            Draw::Circle({56, y + 16}, playing ? 16 : 6, playing ? GOLD : GRAY);
            Draw::Text(e.label, {100, y + 3}, 22, WHITE);
        }
        // The tune's position: a white bar along the bottom, its full width the whole tune.
        if (m_tune && m_tune->GetLength() > 0) {
            const double done = m_tune->GetTimePlayed() / m_tune->GetLength();
            Draw::Rect({40, 400, float(done) * (WIDTH - 80), 12}, WHITE);
        }
    }

private:
    Ref<Music> m_tune;
    Ref<AudioStream> m_tone;
    long m_toneAt = 0;   // samples of the tone made so far
    int m_semitones = 0; // the effects' pitch
    float m_pan = 0;     // the effects' place, -1 left to 1 right
    std::vector<Effect> m_effects{{SDLK_j, "jump.wav", "J: jump", nullptr},
                                  {SDLK_c, "coin.wav", "C: coin", nullptr},
                                  {SDLK_h, "hit.wav", "H: hit", nullptr}};
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<AudioKeys>(), WIDTH, HEIGHT, "Audio",
                                 {.targetFrameRate = 60});
}
