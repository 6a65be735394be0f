#include "audio/Vorbis.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include "audio/Mixer.h"

namespace Engine {

namespace {

// A sound's compressed bytes, read whole before decoding: far more than
// MaxDecodedSamples takes at any real bit rate.
constexpr Sint64 MaxOggBytes = 64 << 20;

std::string Reason(int error) {
    switch (error) {
    case VORBIS_outofmem:
        return "out of memory";
    case VORBIS_too_many_channels:
        return "too many channels";
    case VORBIS_file_open_failure:
        return "the file could not be opened";
    case VORBIS_unexpected_eof:
        return "it ends inside its headers";
    default:
        return "not Ogg Vorbis the decoder reads (stb_vorbis error " + std::to_string(error) + ")";
    }
}

std::uint32_t ReadLE32(const Uint8* bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

// Whether the comment header's lengths fit in it. The decoder trusts them:
// a length of 2^32 - 1 wraps its allocation to nothing and is written past,
// and a count too large to allocate for is freed through a null pointer.
bool CommentsFit(const std::vector<Uint8>& packet) {
    const std::size_t size = packet.size();
    if (size < 11 || packet[0] != 3 || std::memcmp(&packet[1], "vorbis", 6))
        return true; // not a comment header: the decoder refuses it itself
    std::size_t at = 7;
    const std::uint32_t vendor = ReadLE32(packet.data(), at);
    if (vendor > size - at - 4 || size - at - 4 - vendor < 4)
        return false;
    at += 4 + vendor;
    const std::uint32_t count = ReadLE32(packet.data(), at);
    at += 4;
    if (count > (size - at) / 4)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - at < 4)
            return false;
        const std::uint32_t length = ReadLE32(packet.data(), at);
        if (length > size - at - 4)
            return false;
        at += 4 + length;
    }
    return true;
}

// Whether the stream's second packet, its comment header, is whole and its
// lengths fit, read page by page from the source's start. The pages must join
// up as the decoder joins them: it reads a page with no segments as holding
// the last page's first one, and a packet going on onto a page that does not
// say so as ending there, so its lengths would come from other bytes.
bool CommentHeaderSound(SDL_RWops* source) {
    constexpr std::size_t MaxPacket = 16 << 20; // pictures in comments included
    constexpr Uint8 Continued = 1;              // the page's flag: it goes on with a packet
    std::vector<Uint8> packet;
    int packets = 0;
    bool within = false; // the last page ended inside a packet
    while (source && SDL_RWseek(source, 0, RW_SEEK_CUR) >= 0) {
        Uint8 head[27], lacing[255];
        if (SDL_RWread(source, head, sizeof head, 1) != 1 || std::memcmp(head, "OggS", 4) ||
            !head[26] || bool(head[5] & Continued) != within ||
            SDL_RWread(source, lacing, head[26], 1) != 1)
            return false;
        for (int i = 0; i < head[26]; ++i) {
            const std::size_t had = packet.size();
            packet.resize(had + lacing[i]);
            if (packet.size() > MaxPacket ||
                (lacing[i] && SDL_RWread(source, packet.data() + had, lacing[i], 1) != 1))
                return false;
            if (lacing[i] < 255 && ++packets == 2)
                return CommentsFit(packet);
            if (lacing[i] < 255)
                packet.clear();
        }
        within = lacing[head[26] - 1] == 255;
    }
    return false;
}

// CommentHeaderSound over a source it closes.
bool CommentHeaderSoundIn(SDL_RWops* source) {
    const bool sound = CommentHeaderSound(source);
    if (source)
        SDL_RWclose(source);
    return sound;
}

// An Ogg page of a stream in memory, as the decoder's seek reads it.
struct OggPage {
    std::size_t start = 0, end = 0; // its bytes
    Uint8 flags = 0;
    std::uint64_t granule = 0;
    const Uint8* lacing = nullptr;
    int segments = 0;
};

constexpr Uint8 ContinuedPage = 1, LastPage = 4;
constexpr std::uint64_t NoGranule = ~std::uint64_t(0);

std::uint32_t OggCrc(std::uint32_t crc, const Uint8* bytes, std::size_t size) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k)
                r = r & 0x80000000u ? r << 1 ^ 0x04c11db7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    for (std::size_t i = 0; i < size; ++i)
        crc = crc << 8 ^ table[(crc >> 24 ^ bytes[i]) & 0xff];
    return crc;
}

// The length of the page whose head is at `at`, as the head gives it: 0 where
// no version 0 head is there or the bytes end before the page does.
std::size_t PageLength(const Uint8* data, std::size_t size, std::size_t at) {
    if (size - at < 27 || std::memcmp(data + at, "OggS", 4) || data[at + 4] != 0)
        return 0;
    const Uint8* head = data + at;
    const int segments = head[26];
    if (size - at - 27 < std::size_t(segments))
        return 0;
    std::size_t length = 27 + std::size_t(segments);
    for (int i = 0; i < segments; ++i)
        length += head[27 + i];
    return size - at < length ? 0 : length;
}

// The page at `at` if it is one the decoder's page search would take: version
// 0, all of it there, its checksum right.
bool PageAt(const Uint8* data, std::size_t size, std::size_t at, OggPage& page) {
    const std::size_t length = PageLength(data, size, at);
    if (!length)
        return false;
    const Uint8* head = data + at;
    const int segments = head[26];
    Uint8 header[27];
    std::memcpy(header, head, 27);
    std::memset(header + 22, 0, 4); // the checksum is taken with its own bytes zero
    const std::uint32_t crc = OggCrc(OggCrc(0, header, 27), head + 27, length - 27);
    if (crc != ReadLE32(head, 22))
        return false;
    page.start = at;
    page.end = at + length;
    page.flags = head[5];
    page.granule = std::uint64_t(ReadLE32(head, 10)) << 32 | ReadLE32(head, 6);
    page.lacing = head + 27;
    page.segments = segments;
    return true;
}

// Whether the decoder's bisecting seek can be trusted with these bytes. It
// asserts (aborting the game) rather than fails where a page layout breaks
// what it assumes, so anything short of what encoders write is refused: one
// unbroken chain of pages, no other page hidden inside them for its search to
// find, the headers ending with a page, every later packet a non-empty audio
// one (the seek decodes from one that ends on a page), granule positions set exactly on pages where
// a packet ends and never decreasing, and the last page flagged as last.
bool BisectionSafe(const Uint8* data, std::size_t size) {
    if (size > UINT_MAX / 2) // the decoder's offsets are 32-bit
        return false;
    std::vector<std::size_t> starts;
    OggPage page;
    int packets = 0;           // packets ended so far
    bool within = false;       // the last page ended inside a packet
    bool packetStart = true;   // the next segment starts a packet
    std::uint64_t granule = 0; // the last one set on an audio page
    for (std::size_t at = 0; at < size; at = page.end) {
        if (!PageAt(data, size, at, page) || !page.segments ||
            bool(page.flags & ContinuedPage) != within ||
            bool(page.flags & LastPage) != (page.end == size))
            return false;
        starts.push_back(at);
        const bool audio = packets >= 3;
        bool ends = false;
        std::size_t offset = at + 27 + std::size_t(page.segments);
        for (int i = 0; i < page.segments; ++i) {
            const Uint8 length = page.lacing[i];
            if (audio && packetStart && (!length || (data[offset] & 1)))
                return false;
            packetStart = length < 255;
            if (packetStart) {
                ++packets;
                ends = true;
                // The set-up header (the third packet) ends its page.
                if (packets == 3 && i != page.segments - 1)
                    return false;
            }
            offset += length;
        }
        within = !packetStart;
        if (audio) {
            if ((page.granule == NoGranule) == ends || (ends && (page.granule >> 32 ||
                                                                 page.granule < granule)))
                return false;
            if (ends)
                granule = page.granule;
        }
    }
    if (packets <= 3)
        return false;
    // A page the search could find between the pages. Each head found costs a
    // checksum over the length it claims, so audio made of heads would take
    // minutes: past about one more pass over the bytes, it is refused unsearched.
    std::size_t budget = size + (1 << 20);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::size_t at = text.find("OggS"); at != text.npos; at = text.find("OggS", at + 1)) {
        if (std::binary_search(starts.begin(), starts.end(), at))
            continue;
        const std::size_t length = PageLength(data, size, at);
        if (length > budget)
            return false;
        budget -= length;
        if (length && PageAt(data, size, at, page))
            return false;
    }
    return true;
}

// BisectionSafe over the bytes of an open file, read from its start.
bool BisectionSafeFile(FILE* file) {
    // Read whole for the check: past hours of music, a file is not worth
    // the memory, and seeks decode from the start instead.
    constexpr long MAX_CHECKED = 256L << 20;
    std::vector<Uint8> bytes;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0 && size <= MAX_CHECKED && std::fseek(file, 0, SEEK_SET) == 0) {
            bytes.resize(std::size_t(size));
            if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
                bytes.clear();
        }
    }
    return !bytes.empty() && BisectionSafe(bytes.data(), bytes.size());
}

} // namespace

bool IsOgg(SDL_RWops* source) {
    const Sint64 at = source ? SDL_RWtell(source) : -1;
    if (at < 0)
        return false;
    char head[4] = {};
    const bool ogg = SDL_RWread(source, head, sizeof head, 1) == 1 && !std::memcmp(head, "OggS", 4);
    SDL_RWseek(source, at, RW_SEEK_SET);
    return ogg;
}

Uni<VorbisStream> VorbisStream::Open(const Uint8* data, std::size_t size, std::string& error) {
    if (size > INT_MAX) {
        error = "over 2 GB";
        return nullptr;
    }
    if (!CommentHeaderSoundIn(SDL_RWFromConstMem(data, int(size)))) {
        error = "its comment header is broken";
        return nullptr;
    }
    int code = 0;
    Uni<VorbisStream> stream =
        Checked(stb_vorbis_open_memory(data, int(size), &code, nullptr), code, error);
    if (stream)
        stream->m_bisect = BisectionSafe(data, size);
    return stream;
}

Uni<VorbisStream> VorbisStream::Open(const std::string& path, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "could not open " + path;
        return nullptr;
    }
    // The checks read the file the decoder is given, not the path again: a
    // file saved over meanwhile is a new one, whose layout nobody checked.
    const bool sound = CommentHeaderSoundIn(SDL_RWFromFP(file, SDL_FALSE));
    const bool bisect = sound && BisectionSafeFile(file);
    if (!sound || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        error = "its comment header is broken, or it could not be read";
        return nullptr;
    }
    int code = 0;
    // The decoder closes the file, also when it fails to open the stream.
    Uni<VorbisStream> stream =
        Checked(stb_vorbis_open_file(file, 1, &code, nullptr), code, error);
    if (stream)
        stream->m_bisect = bisect;
    return stream;
}

Uni<VorbisStream> VorbisStream::Checked(stb_vorbis* v, int code, std::string& error) {
    if (!v) {
        error = Reason(code);
        return nullptr;
    }
    Uni<VorbisStream> stream(new VorbisStream);
    stream->m_v = v;
    const stb_vorbis_info info = stb_vorbis_get_info(v);
    stream->m_channels = info.channels;
    stream->m_rate = int(std::min<unsigned>(info.sample_rate, INT_MAX));
    if (info.channels < 1 || info.channels > 2)
        error = std::to_string(info.channels) + " channels, where Ogg Vorbis is read mono or stereo";
    else if (stream->m_rate < MinRate || stream->m_rate > MaxRate)
        error = "a rate of " + std::to_string(stream->m_rate) + " Hz";
    if (!error.empty())
        return nullptr;
    return stream;
}

VorbisStream::~VorbisStream() {
    stb_vorbis_close(m_v);
}

std::uint64_t VorbisStream::Frames() const {
    return stb_vorbis_stream_length_in_samples(m_v);
}

std::size_t VorbisStream::Read(Sint16* dst, std::size_t count) {
    std::size_t got = 0;
    while (got < count) {
        const std::size_t want = std::min<std::size_t>(count - got, 1 << 16);
        const int n = stb_vorbis_get_samples_short_interleaved(
            m_v, m_channels, dst + got * std::size_t(m_channels), int(want) * m_channels);
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    return got;
}

bool VorbisStream::Seek(std::uint64_t frame) {
    // The start needs no search; looping music goes there at every end.
    if (frame == 0)
        return stb_vorbis_seek_start(m_v) != 0;
    if (!m_bisect) {
        // Decoding up to it is as safe as playing, and bounded as a sound is.
        if (frame > MaxDecodedSamples / std::uint64_t(m_channels) || !stb_vorbis_seek_start(m_v))
            return false;
        return Skip(frame);
    }
    if (frame > UINT_MAX - 1 || !stb_vorbis_seek_frame(m_v, unsigned(frame)))
        return false;
    // The decoder stops at the frame holding the sample; decode up to it.
    const int at = stb_vorbis_get_sample_offset(m_v);
    if (at < 0 || std::uint64_t(at) > frame)
        return false;
    return Skip(frame - std::uint64_t(at));
}

bool VorbisStream::Skip(std::uint64_t frames) {
    Sint16 skipped[2 * 1024];
    while (frames) {
        const std::size_t n = Read(skipped, std::min<std::uint64_t>(frames, 1024));
        if (!n)
            return false;
        frames -= n;
    }
    return true;
}

bool DecodeVorbis(SDL_RWops* source, SDL_AudioSpec& spec, std::vector<Sint16>& samples,
                  std::string& error) {
    // All of the source, up to the bound.
    std::vector<Uint8> bytes;
    Uint8 piece[64 << 10];
    std::size_t n = 0;
    while (Sint64(bytes.size()) <= MaxOggBytes && (n = SDL_RWread(source, piece, 1, sizeof piece)))
        bytes.insert(bytes.end(), piece, piece + n);
    SDL_RWclose(source);
    if (Sint64(bytes.size()) > MaxOggBytes) {
        error = "over 64 MiB of Ogg Vorbis for a sound; play it as Music";
        return false;
    }
    Uni<VorbisStream> stream = VorbisStream::Open(bytes.data(), bytes.size(), error);
    if (!stream)
        return false;
    const auto channels = std::size_t(stream->Channels());
    constexpr std::size_t Step = 1 << 14; // frames decoded at a time
    samples.clear();
    while (true) {
        const std::size_t had = samples.size();
        if (had > MaxDecodedSamples) {
            error = "it decodes to over " + std::to_string(MaxDecodedSamples) +
                    " samples, too long for a sound; play it as Music";
            return false;
        }
        samples.resize(had + Step * channels);
        const std::size_t got = stream->Read(samples.data() + had, Step);
        samples.resize(had + got * channels);
        if (got < Step)
            break;
    }
    spec = SDL_AudioSpec{};
    spec.freq = stream->Rate();
    spec.format = AUDIO_S16SYS;
    spec.channels = Uint8(channels);
    return true;
}

} // namespace Engine
