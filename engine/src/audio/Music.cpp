#include <engine/audio/Music.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numeric>

#include <engine/audio/Clip.h>
#include <engine/core/Log.h>

#include "audio/Mixer.h"
#include "audio/Vorbis.h"
#include "audio/WavChunks.h"

namespace Engine {

namespace {

// Touched only under the device lock.
Music* s_first = nullptr;
// When the mixer last ran, on the clock below.
Uint64 s_mixedAt = 0;
Uint64 (*s_clock)() = SDL_GetPerformanceCounter;
// No device could be opened: the loop mixes in its place (Music::UpdateAll).
bool s_noDevice = false;

// A device buffer's time on the clock.
Uint64 BufferTicks() {
    return Uint64(double(Clip::DeviceSamples) / Clip::DeviceFreq *
                  double(SDL_GetPerformanceFrequency()));
}

// Bytes of the file read at a time, at most, but for the resampler's margins.
constexpr std::uint32_t MaxPiece = 64 << 10;

struct CloseRW {
    void operator()(SDL_RWops* rw) const { SDL_RWclose(rw); }
};
struct FreeWav {
    void operator()(Uint8* data) const { SDL_FreeWAV(data); }
};

std::uint32_t ReadLE(const Uint8* at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | at[i];
    return v;
}

// Why music of that shape is not played, or nothing.
std::string Unplayable(int channels, int rate) {
    if (channels < 1 || channels > 8)
        return std::to_string(channels) + " channels";
    if (rate < MinRate || rate > MaxRate)
        return "a rate of " + std::to_string(rate) + " Hz";
    return "";
}

} // namespace

// Converting piece by piece gives the samples the whole file would: each
// piece is converted with the frames around it that the resampler reaches,
// and starts on a frame that falls on a whole device frame.
struct Music::Source {
    static constexpr std::uint64_t NoEnd = UINT64_MAX;

    std::string name;
    std::vector<Uint8> memory; // a file held in memory, which `file` reads
    std::vector<float> samples; // or a program's samples, cleaned, which `file` reads
    std::unique_ptr<SDL_RWops, CloseRW> file;
    std::unique_ptr<Uint8, FreeWav> decoded; // the samples, for encodings decoded whole
    Uni<VorbisStream> vorbis;                // decodes as it is read, instead of `file`
    SDL_AudioFormat format = 0;
    int channels = 0, rate = 0;
    std::uint32_t frameBytes = 0;
    Sint64 dataStart = 0;
    std::uint64_t frames = 0; // of the file's samples
    bool loop = false;
    // No file: the program pushes float samples, cleaned, which wait here
    // from `pendingAt` on until a piece of them can be converted.
    bool fed = false;
    std::vector<float> pending;
    std::size_t pendingAt = 0;
    // Fail was called. A fed music has nothing to read again, so for it this
    // is final: it counts as full and plays no more.
    bool failed = false;

    SDL_AudioCVT cvt{};
    // In the file's frames: pieces start on multiples of `grid`, which turn
    // into a whole number of device frames; `pad` frames either side of a
    // piece cover the resampler's reach. Pieces are `piece` frames long, or
    // shorter when fed, to convert what came without waiting for more.
    std::uint64_t grid = 1, piece = 0, pad = 0, length = 0;
    std::vector<Uint8> tape;      // file frames [at - pad, at + length + pad), as read
    std::vector<Uint8> converted; // the tape in the device format
    std::uint64_t next = 0;       // the file's frame read next
    std::uint64_t readAt = 0;     // where it goes, in frames since Start
    std::uint64_t at = 0;         // the piece's first frame, counted the same way
    std::uint64_t endAt = NoEnd;  // where the music ends, counted the same way
    std::uint32_t outPos = 0, outEnd = 0; // converted bytes not yet taken
    bool first = true, last = false;
    Uint8 silence = 0;

    // A source of float samples from the program, at rate, of channels.
    static Uni<Source> OfFloats(std::string name, int rate, int channels);
    // The file opened: its format, checked, or an error.
    std::string OpenFile();
    // The program's samples at `rate`, of `channels`, read as a float WAV
    // file's; an error or nothing.
    std::string HoldSamples(std::span<const float> from);
    // The header's format, checked, or an error.
    std::string ReadHeader();
    // SDL's loader decodes the whole file, which is then read from memory.
    std::string DecodeWhole();
    // Ogg Vorbis from the file at `name`, or from `memory`; an error or nothing.
    std::string OpenVorbis();
    // The file's samples from `frame` on come next; false when it cannot go there.
    bool SeekFile(std::uint64_t frame);
    // The converter and the pieces' sizes, about `deviceFrames` a piece, or an error.
    std::string Prepare(std::uint64_t deviceFrames);
    // Starts again at `frame`, which moves back onto the grid; returns it.
    std::uint64_t Start(std::uint64_t frame);
    // `count` frames onto the tape, silence past the end.
    void Read(Uint8* dst, std::uint64_t count);
    // Frames of the next piece: `piece`, or when fed as many whole grids as
    // have come, 0 when none has.
    std::uint64_t NextPiece() const;
    // Converts the next piece, of `frames`.
    void Convert(std::uint64_t frames);
    // The fed frames taken but not yet heard, counted in the pushed frames.
    std::uint64_t Held() const;
    // Up to `bytes` of the music converted, fewer only at its end.
    std::uint32_t Take(Uint8* dst, std::uint32_t bytes);
    // Ends the music early with one warning.
    void Fail(const std::string& why);
};

Uni<Music::Source> Music::Source::OfFloats(std::string name, int rate, int channels) {
    auto source = CreateUni<Source>();
    source->name = std::move(name);
    source->format = AUDIO_F32SYS;
    source->channels = channels;
    source->rate = rate;
    source->frameBytes = std::uint32_t(channels) * sizeof(float);
    return source;
}

std::string Music::Source::OpenFile() {
    std::string error = !file ? SDL_GetError() : IsOgg(file.get()) ? OpenVorbis() : ReadHeader();
    // A file decoded whole is read from the decoded samples from then on.
    if (decoded)
        memory = {};
    return error;
}

std::string Music::Source::HoldSamples(std::span<const float> from) {
    if (std::string odd = Unplayable(channels, rate); !odd.empty())
        return odd;
    if (from.size() % std::size_t(channels))
        return std::to_string(from.size()) + " samples, which are no whole frames of " +
               std::to_string(channels) + " channels";
    if (from.size_bytes() > INT_MAX)
        return "over 2 GB of samples";
    frames = from.size() / std::size_t(channels);
    AppendCleanSamples(samples, from);
    // Memory to read from even when there is nothing to play; `frames` ends it.
    if (samples.empty())
        samples.assign(std::size_t(channels), 0.0f);
    file.reset(SDL_RWFromConstMem(samples.data(), int(samples.size() * sizeof(float))));
    return file ? "" : SDL_GetError();
}

std::string Music::Source::ReadHeader() {
    SDL_RWops* rw = file.get();
    const Sint64 size = SDL_RWsize(rw);
    Uint8 fmt[40] = {};
    bool haveFmt = false, haveData = false;
    std::uint32_t dataBytes = 0;
    std::string error;
    const bool wav = WalkWavChunks(rw, 0, [&](const Uint8* id, Uint32 bytes, Sint64 next) {
        if (!std::memcmp(id, "fmt ", 4)) {
            if (bytes < 16 || SDL_RWread(rw, fmt, std::min<std::uint32_t>(bytes, 40), 1) != 1) {
                error = "a format chunk too short";
                return false;
            }
            haveFmt = true;
        } else if (!std::memcmp(id, "data", 4)) {
            dataStart = next - Sint64(bytes) - (bytes & 1);
            dataBytes = bytes;
            haveData = true;
            return false;
        }
        return true;
    });
    if (!wav)
        return "not a WAV file";
    if (!error.empty())
        return error;
    if (!haveData)
        return "no data chunk";
    if (!haveFmt)
        return "no format chunk before the data";

    std::uint32_t tag = ReadLE(fmt, 2);
    constexpr std::uint32_t Pcm = 1, Float = 3, Extensible = 0xFFFE;
    if (tag == Extensible)
        tag = ReadLE(fmt + 24, 2); // the sub-format's first two bytes
    channels = int(ReadLE(fmt + 2, 2));
    rate = int(std::min<std::uint32_t>(ReadLE(fmt + 4, 4), INT32_MAX));
    const std::uint32_t blockAlign = ReadLE(fmt + 12, 2), bits = ReadLE(fmt + 14, 2);
    if (std::string odd = Unplayable(channels, rate); !odd.empty())
        return odd;

    format = tag == Pcm && bits == 8     ? AUDIO_U8
             : tag == Pcm && bits == 16  ? AUDIO_S16LSB
             : tag == Pcm && bits == 32  ? AUDIO_S32LSB
             : tag == Float && bits == 32 ? AUDIO_F32LSB
                                          : 0;
    if (!format || blockAlign != channels * bits / 8)
        return DecodeWhole();
    frameBytes = blockAlign;
    // A data chunk may claim more than the file holds: play what it holds.
    const std::uint64_t held = size > dataStart ? std::uint64_t(size - dataStart) : 0;
    frames = std::min<std::uint64_t>(dataBytes, held) / frameBytes;
    return "";
}

std::string Music::Source::DecodeWhole() {
    SDL_AudioSpec spec{};
    Uint8* data = nullptr;
    Uint32 len = 0;
    if (SDL_RWseek(file.get(), 0, RW_SEEK_SET) != 0 ||
        !SDL_LoadWAV_RW(file.get(), 0, &spec, &data, &len))
        return SDL_GetError();
    decoded.reset(data);
    if (len > INT_MAX)
        return "over 2 GB of samples once decoded";
    file.reset(SDL_RWFromConstMem(data, int(len)));
    if (!file)
        return SDL_GetError();
    format = spec.format;
    channels = spec.channels;
    rate = spec.freq;
    // SDL's loader takes the first format chunk, the header reader the last.
    if (std::string odd = Unplayable(channels, rate); !odd.empty())
        return odd;
    frameBytes = std::uint32_t(channels) * SDL_AUDIO_BITSIZE(format) / 8;
    dataStart = 0;
    frames = len / frameBytes;
    return "";
}

std::string Music::Source::OpenVorbis() {
    std::string error;
    vorbis = memory.empty() ? VorbisStream::Open(name, error)
                            : VorbisStream::Open(memory.data(), memory.size(), error);
    if (!vorbis)
        return error;
    file.reset();
    format = AUDIO_S16SYS;
    channels = vorbis->Channels();
    rate = vorbis->Rate();
    frameBytes = std::uint32_t(channels) * 2;
    // Its length is what seeking and looping go by.
    frames = vorbis->Frames();
    return frames ? "" : "an Ogg stream with no last page, so no length";
}

bool Music::Source::SeekFile(std::uint64_t frame) {
    if (vorbis) {
        const bool ok = vorbis->Seek(frame);
        if (!ok)
            SDL_SetError("its Ogg stream breaks there");
        return ok;
    }
    const Sint64 pos = dataStart + Sint64(frame * frameBytes);
    return SDL_RWseek(file.get(), pos, RW_SEEK_SET) == pos;
}

std::string Music::Source::Prepare(std::uint64_t deviceFrames) {
    if (SDL_BuildAudioCVT(&cvt, format, Uint8(channels), rate, Clip::DeviceFormat,
                          Clip::DeviceChannels, Clip::DeviceFreq) < 0)
        return SDL_GetError();
    grid = std::uint64_t(rate) / std::gcd(rate, Clip::DeviceFreq);
    if (grid * frameBytes > MaxPiece)
        return "a rate of " + std::to_string(rate) + " Hz, which has no short pieces that " +
               "make whole frames at " + std::to_string(Clip::DeviceFreq) + " Hz";
    const std::uint64_t want = deviceFrames * std::uint64_t(rate) / Clip::DeviceFreq;
    piece = std::max<std::uint64_t>(1, (want + grid / 2) / grid) * grid;
    if (rate != Clip::DeviceFreq) {
        // Twice the resampler's reach at the lowest output rate it filters to.
        const std::uint64_t reach = 16 + 16 * (std::uint64_t(rate) / Clip::DeviceFreq + 1);
        pad = (reach + grid - 1) / grid * grid;
    }
    tape.resize((piece + 2 * pad) * frameBytes);
    converted.resize(tape.size() * std::size_t(cvt.len_mult));
    silence = format == AUDIO_U8 ? 0x80 : 0;
    return "";
}

std::uint64_t Music::Source::Start(std::uint64_t frame) {
    const std::uint64_t from = std::min(frame, frames) / grid * grid;
    next = from;
    readAt = at = length = 0;
    endAt = NoEnd;
    outPos = outEnd = 0;
    first = true;
    last = false;
    if (fed) {
        pending.clear();
        pendingAt = 0;
        return from;
    }
    if (!SeekFile(from))
        Fail(std::string("its file could not be read again: ") + SDL_GetError());
    return from;
}

void Music::Source::Read(Uint8* dst, std::uint64_t count) {
    if (fed) { // NextPiece saw them come
        const std::size_t n = count * std::size_t(channels);
        std::memcpy(dst, pending.data() + pendingAt, n * sizeof(float));
        pendingAt += n;
        readAt += count;
        return;
    }
    while (count) {
        if (next >= frames && endAt == NoEnd) {
            if (!loop || frames == 0)
                endAt = readAt;
            else if (SeekFile(0))
                next = 0;
            else
                Fail(std::string("its file could not be read again: ") + SDL_GetError());
        }
        if (endAt != NoEnd) {
            std::memset(dst, silence, count * frameBytes);
            readAt += count;
            return;
        }
        const std::uint64_t want = std::min(count, frames - next);
        const size_t got = vorbis ? vorbis->Read(reinterpret_cast<Sint16*>(dst), size_t(want))
                                  : SDL_RWread(file.get(), dst, frameBytes, size_t(want));
        if (got == 0) {
            Fail("its file ends before its data does");
            continue;
        }
        next += got;
        readAt += got;
        dst += got * frameBytes;
        count -= got;
    }
}

std::uint64_t Music::Source::NextPiece() const {
    if (!fed)
        return piece;
    const std::uint64_t came = (pending.size() - pendingAt) / std::size_t(channels);
    const std::uint64_t ahead = first ? pad : 0; // the first piece reads its margin too
    return came > ahead ? std::min(piece, (came - ahead) / grid * grid) : 0;
}

std::uint64_t Music::Source::Held() const {
    const std::uint64_t waiting = (pending.size() - pendingAt) / std::size_t(channels);
    const std::uint64_t unheard = (outEnd - outPos) / DeviceFrame;
    // The margin read past the last piece, and what of the piece is not taken.
    return waiting + (first ? 0 : pad) + (unheard * std::uint64_t(rate) + Clip::DeviceFreq - 1) /
                                             Clip::DeviceFreq;
}

void Music::Source::Convert(std::uint64_t frames) {
    if (first) {
        std::memset(tape.data(), silence, pad * frameBytes);
        Read(tape.data() + pad * frameBytes, frames + pad);
    } else {
        const std::size_t kept = 2 * pad * frameBytes;
        std::memmove(tape.data(), tape.data() + length * frameBytes, kept);
        Read(tape.data() + kept, frames);
        at += length;
    }
    first = false;
    length = frames;
    const std::uint64_t used = (frames + 2 * pad) * frameBytes;
    std::memcpy(converted.data(), tape.data(), used);
    std::uint64_t bytes = used;
    if (cvt.needed) {
        cvt.buf = converted.data();
        cvt.len = int(used);
        if (SDL_ConvertAudio(&cvt) < 0) {
            Fail(std::string("its samples could not be converted: ") + SDL_GetError());
            last = true;
            return;
        }
        bytes = std::uint64_t(cvt.len_cvt);
    }
    // Device frames of the frames before x; whole on the grid.
    auto out = [this](std::uint64_t x) { return x * Clip::DeviceFreq / std::uint64_t(rate); };
    std::uint64_t count = out(frames);
    if (endAt < at + frames) {
        count = out(endAt - at);
        last = true;
    }
    // Whole frames only, and never past what the converter gave: should it
    // give less than the margin, the piece is empty rather than read beyond.
    const std::uint64_t whole = bytes - bytes % DeviceFrame;
    const std::uint64_t start = std::min<std::uint64_t>(out(pad) * DeviceFrame, whole);
    outPos = std::uint32_t(start);
    outEnd = std::uint32_t(std::min(start + count * DeviceFrame, whole));
}

std::uint32_t Music::Source::Take(Uint8* dst, std::uint32_t bytes) {
    std::uint32_t got = 0;
    while (got < bytes) {
        if (outPos == outEnd) {
            const std::uint64_t frames = last ? 0 : NextPiece();
            if (!frames)
                break;
            Convert(frames);
            continue;
        }
        const std::uint32_t n = std::min(bytes - got, outEnd - outPos);
        std::memcpy(dst + got, converted.data() + outPos, n);
        outPos += n;
        got += n;
    }
    return got;
}

void Music::Source::Fail(const std::string& why) {
    if (fed)
        Log::Warn("AUDIO", "An audio stream of %d Hz stopped for good: %s", rate, why.c_str());
    else
        Log::Warn("AUDIO", "The music %s stopped early: %s", name.c_str(), why.c_str());
    failed = true;
    if (endAt == NoEnd)
        endAt = readAt;
}

Ref<Music> Music::Load(const std::string& path) {
    auto source = CreateUni<Source>();
    source->name = path;
    source->file.reset(OpenSoundFile(path));
    std::string error = source->OpenFile();
    return Open(std::move(source), std::move(error));
}

Ref<Music> Music::LoadFromMemory(const void* data, size_t size) {
    auto source = CreateUni<Source>();
    source->name = "in memory";
    if (data && size <= INT_MAX) {
        const auto* bytes = static_cast<const Uint8*>(data);
        source->memory.assign(bytes, bytes + size);
        source->file.reset(SDL_RWFromConstMem(source->memory.data(), int(size)));
    } else {
        SDL_SetError(data ? "over 2 GB" : "no data");
    }
    std::string error = source->OpenFile();
    return Open(std::move(source), std::move(error));
}

Ref<Music> Music::FromSamples(std::span<const float> samples, int rate, int channels) {
    auto source = Source::OfFloats("of samples", rate, channels);
    std::string error = source->HoldSamples(samples);
    return Open(std::move(source), std::move(error));
}

Ref<Music> Music::Open(Uni<Source> source, std::string error) {
    if (error.empty())
        error = source->Prepare(Clip::DeviceSamples);
    if (!error.empty()) {
        Log::Warn("AUDIO", "Could not load the music %s: %s", source->name.c_str(),
                  error.c_str());
        return nullptr;
    }
    return Link(std::move(source), BUFFERED_SECONDS);
}

Ref<Music> Music::Link(Uni<Source> source, double seconds) {
    Ref<Music> music(new Music(std::move(source), seconds));
    AudioLock lock;
    music->m_next = s_first;
    if (s_first)
        s_first->m_prev = music.get();
    s_first = music.get();
    return music;
}

Ref<Music> Music::Fed(int rate, int channels, std::string& error) {
    auto source = Source::OfFloats("fed by the program", rate, channels);
    source->fed = true;
    error = Unplayable(channels, rate);
    // Short pieces: what is pushed is heard after a few milliseconds.
    if (error.empty())
        error = source->Prepare(Clip::DeviceSamples / 8);
    if (!error.empty())
        return nullptr;
    // Room for all that may be queued, and the piece being converted.
    return Link(std::move(source), FED_SECONDS + double(Clip::DeviceSamples) / Clip::DeviceFreq);
}

std::size_t Music::Feed(std::span<const float> samples) {
    Source& s = *m_source;
    const auto channels = std::size_t(s.channels);
    const auto cap = std::uint64_t(FED_SECONDS * s.rate), queued = QueuedFrames();
    const std::size_t frames =
        std::min<std::uint64_t>(samples.size() / channels, cap > queued ? cap - queued : 0);
    s.pending.erase(s.pending.begin(), s.pending.begin() + long(s.pendingAt));
    s.pendingAt = 0;
    AppendCleanSamples(s.pending, samples.first(frames * channels));
    Refill();
    return frames;
}

std::uint64_t Music::QueuedFrames() const {
    // Full, so that Feed takes nothing and a loop keeping it ahead ends.
    if (m_source->failed)
        return std::uint64_t(FED_SECONDS * m_source->rate);
    std::uint64_t ring = 0;
    {
        AudioLock lock;
        ring = m_ringFilled / DeviceFrame;
    }
    const auto rate = std::uint64_t(m_source->rate);
    return m_source->Held() + (ring * rate + Clip::DeviceFreq - 1) / Clip::DeviceFreq;
}

Music::Music(Uni<Source> source, double seconds)
    : m_source(std::move(source)),
      m_ring(std::size_t(seconds * Clip::DeviceFreq) * DeviceFrame) {
    static_assert(BUFFERED_SECONDS * Clip::DeviceFreq > 2 * Clip::DeviceSamples,
                  "the buffer holds a device buffer with room to refill");
}

Music::~Music() {
    AudioLock lock;
    (m_prev ? m_prev->m_next : s_first) = m_next;
    if (m_next)
        m_next->m_prev = m_prev;
}

void Music::Restart(std::uint64_t frame) {
    m_startSeconds = double(m_source->Start(frame)) / m_source->rate;
    AudioLock lock;
    m_ringStart = m_ringFilled = 0;
    m_endBuffered = false;
    m_primed = false;
    m_framesHeard = m_framesBefore = 0;
}

void Music::Refill() {
    Source& s = *m_source;
    const auto size = std::uint32_t(m_ring.size());
    std::uint32_t from = 0, space = 0;
    {
        AudioLock lock;
        if (!m_playing || m_endBuffered)
            return;
        from = (m_ringStart + m_ringFilled) % size;
        space = size - m_ringFilled;
    }
    // The free part of the ring is this thread's until it is handed over under
    // the lock: the audio thread reads only what is filled.
    std::uint32_t got = 0;
    bool end = false;
    while (got < space && !end) {
        const std::uint32_t at = (from + got) % size;
        const std::uint32_t room = std::min(space - got, size - at);
        const std::uint32_t n = s.Take(m_ring.data() + at, room);
        got += n;
        end = n < room;
    }
    std::uint64_t underruns = 0;
    {
        AudioLock lock;
        m_ringFilled += got;
        // A fed music ends only when let go, or when it failed: what was
        // converted plays, then it stops rather than run dry for ever.
        m_endBuffered = end && (!s.fed || s.failed);
        m_primed = true;
        underruns = m_underruns;
    }
    // A program may well stop feeding for a while: that is no stalled loop.
    if (underruns && !m_warnedUnderrun && !s.fed) {
        m_warnedUnderrun = true;
        Log::Warn("AUDIO", "The music %s ran short: the loop stalled for over %.1f s",
                  s.name.c_str(), BUFFERED_SECONDS);
    }
}

void Music::UpdateAll() {
    // Only this thread links and unlinks musics, so walking them needs no lock.
    // A fed music is converted by the thread that feeds it, as it pushes.
    auto refill = [] {
        for (Music* m = s_first; m; m = m->m_next)
            if (!m->m_source->fed)
                m->Refill();
    };
    // Without a device, music and sounds would stand still at their start and
    // never end, and a game drawing to them or waiting for their end would
    // wait for ever: the buffers the device would take are taken here as they
    // fall due, into nothing.
    if (s_noDevice && SDL_GetAudioStatus() == SDL_AUDIO_STOPPED) {
        static std::vector<Uint8> nowhere(std::size_t(Clip::DeviceSamples) * DeviceFrame);
        const auto bytes = std::uint32_t(nowhere.size());
        for (const Uint64 now = s_clock(); now - s_mixedAt >= BufferTicks();) {
            const Uint64 due = s_mixedAt + BufferTicks();
            refill();
            MixVoices(nowhere.data(), bytes);
            MixMusic(nowhere.data(), bytes);
            s_mixedAt = due;
        }
    }
    refill();
}

void SetNoDevice(bool none) {
    // A device already open mixes meanwhile, and keeps its own time.
    AudioLock lock;
    s_noDevice = none;
    // The first buffer falls due at once.
    if (none)
        s_mixedAt = s_clock() - BufferTicks();
}

void SetMixClock(Uint64 (*now)()) {
    AudioLock lock;
    s_clock = now ? now : SDL_GetPerformanceCounter;
}

void MixMusic(Uint8* stream, std::uint32_t len) {
    s_mixedAt = s_clock();
    for (Music* m = s_first; m; m = m->m_next) {
        // What was mixed before is being heard; what is mixed now follows it.
        m->m_framesBefore = m->m_framesHeard;
        if (!m->m_playing || m->m_paused || !m->m_primed)
            continue;
        const auto size = std::uint32_t(m->m_ring.size());
        const std::uint32_t take = std::min(len, m->m_ringFilled);
        const std::uint32_t first = std::min(take, size - m->m_ringStart);
        SDL_MixAudioFormat(stream, m->m_ring.data() + m->m_ringStart, Clip::DeviceFormat, first,
                           m->m_volume);
        SDL_MixAudioFormat(stream + first, m->m_ring.data(), Clip::DeviceFormat, take - first,
                           m->m_volume);
        m->m_ringStart = (m->m_ringStart + take) % size;
        m->m_ringFilled -= take;
        m->m_framesHeard += take / DeviceFrame;
        // What is missing stays silent.
        if (take < len) {
            if (m->m_endBuffered)
                m->m_playing = false;
            else
                ++m->m_underruns;
        }
    }
}

void Music::Play() {
    Restart(0);
    Resume();
}

void Music::Stop() {
    {
        AudioLock lock;
        m_playing = m_paused = false;
    }
    Restart(0);
}

void Music::Pause() {
    AudioLock lock;
    m_paused = true;
}

void Music::Resume() {
    if (m_source->fed && m_source->failed)
        return;
    {
        AudioLock lock;
        // Also after Stop, from the start or where a Seek put it; music that
        // played to its end stays ended.
        m_playing = !(m_endBuffered && m_ringFilled == 0);
        m_paused = false;
    }
    Refill();
}

void Music::SetLooping(bool loop) {
    Source& s = *m_source;
    const bool ended = s.endAt != Source::NoEnd && !s.failed && !s.fed;
    if (!loop || s.loop || !ended) {
        s.loop = loop;
        return;
    }
    // The end is read already (a tune shorter than the buffer, or its last
    // part): it would end the music. Read on from what is heard, looping.
    bool playing = false;
    {
        AudioLock lock;
        playing = m_playing;
    }
    // On from what was mixed, which the device still has to play.
    const double mixed = TimePlayed(false);
    s.loop = true;
    if (playing)
        Seek(mixed);
}

void Music::SetVolume(float volume) {
    const float v = std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f);
    AudioLock lock;
    m_volume = int(std::lround(v * SDL_MIX_MAXVOLUME));
}

void Music::Seek(double seconds) {
    const double at = std::isnan(seconds) ? 0.0 : std::clamp(seconds, 0.0, GetLength());
    Restart(std::uint64_t(at * m_source->rate));
    Refill();
}

bool Music::IsPlaying() const {
    AudioLock lock;
    return m_playing && !m_paused;
}

double Music::GetLength() const {
    return double(m_source->frames) / m_source->rate;
}

double Music::GetTimePlayed() const {
    return TimePlayed(true);
}

double Music::TimePlayed(bool heard) const {
    std::uint64_t before = 0, mixed = 0;
    Uint64 mixedAt = 0, now = 0;
    {
        AudioLock lock;
        before = m_framesBefore;
        mixed = m_framesHeard;
        mixedAt = s_mixedAt;
        now = s_clock();
    }
    // The device plays the last buffer mixed from the moment it was mixed:
    // counting on from then by the clock moves smoothly between buffers, and
    // never past what was mixed.
    const double since =
        now > mixedAt ? double(now - mixedAt) / double(SDL_GetPerformanceFrequency()) : 0.0;
    const double frames =
        heard ? std::min(double(before) + since * Clip::DeviceFreq, double(mixed)) : double(mixed);
    const double length = GetLength(), t = m_startSeconds + frames / Clip::DeviceFreq;
    if (length <= 0)
        return 0;
    return m_source->loop ? std::fmod(t, length) : std::min(t, length);
}

std::uint64_t Music::GetUnderruns() const {
    AudioLock lock;
    return m_underruns;
}

} // namespace Engine
