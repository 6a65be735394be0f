// Audio: a two-second tune streams from its file and loops from the start, and keys play short
// effects over it: J a jump, C a coin, H a hit. Each press is a voice of its own, so quick presses
// overlap rather than cut each other off. UP and DOWN play the effects a semitone higher or lower,
// LEFT and RIGHT move them across. M stops the tune and starts it again; N changes it for a tune
// the program composed as it started, and back. T, held, sounds a tone the program makes as it
// plays. A bar shows where the tune is, and each effect's ball lights up while it sounds. The
// engine's notices stay off the terminal; its warnings still show.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <engine/audio/AudioStream.h>
#include <engine/audio/Music.h>
#include <engine/audio/Sound.h>
#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Log.h>
#include <engine/core/Time.h>
#include <engine/render/Draw.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 800;
constexpr int HEIGHT = 450;

// Two seconds of notes up and down a chord at 22050 Hz, each fading to nothing by its end,
// so that notes and the loop's seam join without a click.
std::vector<float> Arpeggio() {
    constexpr int RATE = 22050;
    const float notes[] = {261.63f, 329.63f, 392.0f, 523.25f, 659.25f, 523.25f, 392.0f, 329.63f};
    std::vector<float> tune;
    for (const float hz : notes)
        for (int i = 0; i < RATE / 4; ++i) {
            const double t = double(i) / RATE;
            tune.push_back(
                float(0.3 * (1 - 4 * t) * std::exp(-6 * t) * std::sin(6.2831853 * hz * t)));
        }
    return tune;
}

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
        // A tune made of samples plays as one read from a file does; the music keeps its own copy.
        m_tunes = {Music::Load(EXAMPLE_ASSETS "loop.wav"), Music::FromSamples(Arpeggio(), 22050)};
        for (const Ref<Music>& tune : m_tunes)
            if (tune)
                tune->SetLooping(true);
        if (m_tunes[0])
            m_tunes[0]->Play();
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
        const Ref<Music>& tune = m_tunes[m_tuneAt];
        if (tune && Input::WasKeyPressed(SDLK_m)) {
            if (tune->IsPlaying())
                tune->Stop();
            else
                tune->Play();
        }
        if (Input::WasKeyPressed(SDLK_n)) {
            if (tune)
                tune->Stop();
            m_tuneAt = 1 - m_tuneAt;
            if (m_tunes[m_tuneAt])
                m_tunes[m_tuneAt]->Play();
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
        Draw::Text("M stops the tune and starts it again, N changes it", {40, 112}, 19, WHITE);
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
        Draw::Text(m_tuneAt ? "Tune: composed by the program" : "Tune: loop.wav", {40, 370}, 19,
                   WHITE);
        const Ref<Music>& tune = m_tunes[m_tuneAt];
        if (tune && tune->GetLength() > 0) {
            const double done = tune->GetTimePlayed() / tune->GetLength();
            Draw::Rect({40, 400, float(done) * (WIDTH - 80), 12}, WHITE);
        }
    }

private:
    std::array<Ref<Music>, 2> m_tunes; // the file's, the one composed
    int m_tuneAt = 0;                  // the one the keys and the bar are for
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
    // The engine's notices ("Window created!", the renderer) would clutter the terminal.
    ::Engine::Log::SetQuiet(true);
    return ::Engine::Engine::Run(::Engine::CreateRef<AudioKeys>(), WIDTH, HEIGHT, "Audio",
                                 {.targetFrameRate = 60});
}
