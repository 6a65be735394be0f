#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <engine/core/Base.h>

struct stb_vorbis;

namespace Engine {

// Whether the source, where it is, starts an Ogg stream; leaves it there.
bool IsOgg(SDL_RWops* source);

// An Ogg Vorbis stream decoded to 16-bit samples as it is read. Mono and
// stereo only: the format orders more channels differently from WAV, and a
// game's music and sounds are one or two.
class VorbisStream {
public:
    // From bytes that outlive the stream; null with the reason.
    static Uni<VorbisStream> Open(const Uint8* data, std::size_t size, std::string& error);
    // From a file, read as it decodes; null with the reason.
    static Uni<VorbisStream> Open(const std::string& path, std::string& error);
    ~VorbisStream();
    VorbisStream(const VorbisStream&) = delete;
    VorbisStream& operator=(const VorbisStream&) = delete;

    int Channels() const { return m_channels; }
    int Rate() const { return m_rate; }
    // The frames its last page declares; 0 when no last page was found.
    std::uint64_t Frames() const;
    // Up to `count` frames, interleaved; fewer only where the data ends or breaks.
    std::size_t Read(Sint16* dst, std::size_t count);
    // The next Read starts at `frame`; false when the stream cannot go there.
    bool Seek(std::uint64_t frame);

private:
    VorbisStream() = default;
    // Checks the stream stb_vorbis opened; null with the reason.
    static Uni<VorbisStream> Checked(stb_vorbis* v, int error, std::string& message);
    // Reads and drops `frames`; false where the data ends first.
    bool Skip(std::uint64_t frames);

    stb_vorbis* m_v = nullptr;
    int m_channels = 0, m_rate = 0;
    // Its pages are laid out as the decoder's bisecting seek needs; otherwise
    // seeking decodes from the start.
    bool m_bisect = false;
};

// A sound decodes whole into memory; past this many samples it belongs in a
// Music (32 Mi samples: over six minutes of 44.1 kHz stereo). The bound also
// keeps a few hostile kilobytes from decoding into gigabytes.
inline constexpr std::size_t MaxDecodedSamples = std::size_t(1) << 25;

// Decodes all of an Ogg Vorbis source, which it closes, into `samples` in the
// format `spec` names; false with the reason.
bool DecodeVorbis(SDL_RWops* source, SDL_AudioSpec& spec, std::vector<Sint16>& samples,
                  std::string& error);

} // namespace Engine
