#include "platform/qt/AlsaTones.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/Clock.h"

namespace platform {

namespace {

constexpr unsigned SampleRate = 44100;
constexpr unsigned LatencyMicros = 100000;
// A quarter of full scale: audible at a bench without startling anyone.
constexpr double Amplitude = 0.25 * 32767;
// Short ramps at both ends keep the speaker from clicking.
constexpr double RampMs = 3;

// A machine without sound hardware is normal here; ALSA's complaints about it are not news.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

std::vector<int16_t> SineTone(uint32_t frequencyHz, uint32_t ms) {
    const size_t count = size_t{SampleRate} * ms / 1000;
    const double ramp = std::max(1.0, RampMs * SampleRate / 1000);
    std::vector<int16_t> samples(count);
    // Above the Nyquist frequency a sine would alias into an audible tone: silence instead.
    if (frequencyHz >= SampleRate / 2) return samples;
    const double step = 2 * std::numbers::pi * frequencyHz / SampleRate;
    for (size_t i = 0; i < count; ++i) {
        const double edge = std::min(static_cast<double>(i), static_cast<double>(count - 1 - i));
        const double gain = std::min(1.0, edge / ramp);
        samples[i] = static_cast<int16_t>(std::lround(Amplitude * gain * std::sin(step * i)));
    }
    return samples;
}

} // namespace

AlsaTones::AlsaTones(Clock& clock, std::string deviceName)
    : clock_(clock), deviceName_(std::move(deviceName)) {}

AlsaTones::~AlsaTones() {
    Close();
}

void AlsaTones::Beep(uint32_t frequencyHz, uint32_t ms) {
    if (ms == 0) return;
    const uint64_t start = clock_.NowMicros();
    if (frequencyHz != 0 && Open() && !Play(frequencyHz, ms)) Close();
    // Whatever the device did not take up of the length (none, a failure, a device that
    // swallows samples without pacing) passes on the clock.
    const uint64_t spentMs = (clock_.NowMicros() - start) / 1000;
    if (spentMs < ms) clock_.Sleep(static_cast<uint32_t>(ms - spentMs));
}

bool AlsaTones::Open() {
    if (pcm_) return true;
    if (tried_) return false;
    tried_ = true;

    snd_lib_error_set_handler(&QuietAlsa);
    // Non-blocking open: a device busy with another program must not hang the tester.
    int err = snd_pcm_open(&pcm_, deviceName_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (err >= 0) err = snd_pcm_nonblock(pcm_, 0);
    if (err >= 0)
        err = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                                 SampleRate, 1, LatencyMicros);
    snd_lib_error_set_handler(nullptr);
    if (err < 0) {
        Close();
        return false;
    }
    return true;
}

void AlsaTones::Close() {
    if (pcm_) snd_pcm_close(pcm_);
    pcm_ = nullptr;
}

bool AlsaTones::Play(uint32_t frequencyHz, uint32_t ms) {
    const std::vector<int16_t> samples = SineTone(frequencyHz, ms);
    // A drained stream stays stopped until prepared again.
    if (snd_pcm_prepare(pcm_) < 0) return false;
    size_t done = 0;
    while (done < samples.size()) {
        snd_pcm_sframes_t written =
            snd_pcm_writei(pcm_, samples.data() + done, samples.size() - done);
        if (written < 0) written = snd_pcm_recover(pcm_, static_cast<int>(written), 1);
        if (written < 0) return false;
        done += static_cast<size_t>(written);
    }
    return snd_pcm_drain(pcm_) >= 0;
}

} // namespace platform
