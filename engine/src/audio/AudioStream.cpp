#include <engine/audio/AudioStream.h>

#include <string>

#include <engine/audio/Music.h>
#include <engine/core/Log.h>

namespace Engine {

Ref<AudioStream> AudioStream::Create(int rate, int channels) {
    std::string error;
    Ref<Music> music = Music::Fed(rate, channels, error);
    if (!music) {
        Log::Warn("AUDIO", "Could not make an audio stream: %s", error.c_str());
        return nullptr;
    }
    return Ref<AudioStream>(new AudioStream(std::move(music), rate));
}

AudioStream::AudioStream(Ref<Music> music, int rate) : m_music(std::move(music)), m_rate(rate) {
    static_assert(MAX_QUEUED_SECONDS == Music::FED_SECONDS);
}

AudioStream::~AudioStream() = default;

std::size_t AudioStream::Push(std::span<const float> samples) {
    return m_music->Feed(samples);
}

double AudioStream::GetQueued() const {
    return double(m_music->QueuedFrames()) / m_rate;
}

void AudioStream::Play() {
    m_music->Resume();
}

void AudioStream::Stop() {
    m_music->Stop();
}

void AudioStream::Pause() {
    m_music->Pause();
}

void AudioStream::Resume() {
    m_music->Resume();
}

void AudioStream::SetVolume(float volume) {
    m_music->SetVolume(volume);
}

bool AudioStream::IsPlaying() const {
    return m_music->IsPlaying();
}

std::uint64_t AudioStream::GetUnderruns() const {
    return m_music->GetUnderruns();
}

} // namespace Engine
