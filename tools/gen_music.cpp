// Writes the game's music: a four-bar piano tune in C major that loops
// without a click. Every note has faded out by the loop point and the first
// notes rise from zero, so the seam is silent on both sides. Only arithmetic
// and libm are used, so every run writes the same bytes.
//
// Usage: gen_music <output.wav>

#include "Wav.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr double FramesPerBeat = 33075; // 80 beats per minute
constexpr int Beats = 16;               // four bars of 4/4
constexpr long Frames = static_cast<long>(FramesPerBeat * Beats);

constexpr double Pi = 3.14159265358979323846;
constexpr double Attack = 0.004;  // seconds: a hammer, not a pluck
constexpr double Release = 0.12;  // seconds: the damper falling
constexpr double PeakLevel = 0.7; // about -3 dBFS

struct Note {
    double beat;
    double beats; // held for, before the damper
    int key;      // MIDI number
    double velocity;
};

double Frequency(int key) {
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

// C, A minor, F, G: arpeggios held as with the pedal down for each bar.
void LeftHand(std::vector<Note>& notes) {
    const int voicings[4][4] = {
        {48, 55, 60, 64}, {45, 52, 57, 60}, {41, 48, 53, 57}, {43, 50, 55, 59}};
    const int pattern[8] = {0, 1, 2, 3, 2, 1, 2, 3};
    for (int bar = 0; bar < 4; ++bar)
        for (int i = 0; i < 8; ++i) {
            const double beat = bar * 4 + i * 0.5;
            const double accent = i == 0 ? 0.5 : (i % 2 ? 0.32 : 0.38);
            notes.push_back({beat, bar * 4 + 4 - beat, voicings[bar][pattern[i]], accent});
        }
}

void Melody(std::vector<Note>& notes) {
    const Note tune[] = {
        {0, 1, 76, 0.8},      {1, 1, 79, 0.75},  {2, 1, 84, 0.85},  {3, 0.5, 83, 0.7},
        {3.5, 0.5, 79, 0.65}, {4, 2, 81, 0.85},  {6, 1, 76, 0.7},   {7, 1, 72, 0.7},
        {8, 1, 77, 0.8},      {9, 1, 81, 0.75},  {10, 1, 84, 0.85}, {11, 1, 81, 0.7},
        {12, 1, 83, 0.8},     {13, 1, 79, 0.75}, {14, 2, 74, 0.8},
    };
    notes.insert(notes.end(), std::begin(tune), std::end(tune));
}

// Adds one piano-like note: slightly stretched partials, each a pair of
// strings a hair apart, a quick and a slow decay, higher partials dying
// sooner, and a hammer position that thins out the seventh harmonic.
void Render(const Note& note, std::vector<double>& left, std::vector<double>& right) {
    const long start = std::lround(note.beat * FramesPerBeat);
    // Damped early enough that nothing rings past the loop point.
    const long held = std::min(std::lround(note.beats * FramesPerBeat),
                               Frames - start - std::lround(Release * Rate));
    const long length = held + std::lround(Release * Rate);

    const double f0 = Frequency(note.key);
    const double tau = 2.2 * std::pow(2.0, -(note.key - 60) / 24.0);
    const double inharmonicity = 0.0004;
    // Low notes to the left, high to the right, equal power.
    const double pan = std::clamp((note.key - 64) / 40.0, -0.5, 0.5);
    const double gainL = std::cos((pan + 1) * Pi / 4) * std::sqrt(2.0);
    const double gainR = std::sin((pan + 1) * Pi / 4) * std::sqrt(2.0);

    for (int n = 1; n <= 12; ++n) {
        const double fn = n * f0 * std::sqrt(1 + inharmonicity * n * n);
        if (fn > 0.4 * Rate)
            break;
        const double amp = note.velocity * std::abs(std::sin(Pi * n / 7.0)) / std::pow(n, 1.2) *
                           (1 + 0.6 * note.velocity * (n > 1)) / 1.6;
        const double slow = tau / (1 + 0.45 * (n - 1));
        const double fast = slow * 0.22;
        const double detune = 1 + 0.00045 * ((n % 3) + 1);
        const double w1 = 2 * Pi * fn / Rate;
        const double w2 = w1 * detune;
        for (long i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) / Rate;
            double env = 0.6 * std::exp(-t / fast) + 0.4 * std::exp(-t / slow);
            if (t < Attack)
                env *= 0.5 - 0.5 * std::cos(Pi * t / Attack);
            if (i >= held) {
                const double r = static_cast<double>(i - held) / (length - 1 - held);
                env *= 0.5 + 0.5 * std::cos(Pi * std::min(r, 1.0));
            }
            const double s = amp * env * 0.5 * (std::sin(w1 * i) + std::sin(w2 * i));
            left[static_cast<size_t>(start + i)] += s * gainL;
            right[static_cast<size_t>(start + i)] += s * gainR;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.wav>\n", argv[0]);
        return 2;
    }

    std::vector<Note> notes;
    LeftHand(notes);
    Melody(notes);
    std::vector<double> left(Frames), right(Frames);
    for (const Note& note : notes)
        Render(note, left, right);

    double peak = 0;
    for (long i = 0; i < Frames; ++i)
        peak = std::max({peak, std::abs(left[static_cast<size_t>(i)]),
                         std::abs(right[static_cast<size_t>(i)])});
    const double scale = PeakLevel * 32767 / peak;

    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<size_t>(Frames * Channels));
    for (long i = 0; i < Frames; ++i)
        for (double v : {left[static_cast<size_t>(i)], right[static_cast<size_t>(i)]})
            samples.push_back(Sound::Pcm16(v * scale));
    if (!Sound::WriteWav(argv[1], Rate, Channels, samples)) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
