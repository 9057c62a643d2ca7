#pragma once
// Tones through an ALSA PCM; a silent wait of the same length where no sound device opens.

#include <string>

#include "platform/Tones.h"

typedef struct _snd_pcm snd_pcm_t;

namespace platform {

class AlsaTones final : public Tones {
public:
    // The device is opened at the first tone; a device that does not open is not tried again,
    // and every tone is then a sleep of its length on the clock.
    explicit AlsaTones(Clock& clock, std::string deviceName = "default");
    ~AlsaTones() override;
    AlsaTones(const AlsaTones&) = delete;
    AlsaTones& operator=(const AlsaTones&) = delete;

    // Blocks for the length; frequency 0 is a pause of that length.
    void Beep(uint32_t frequencyHz, uint32_t ms) override;

    // Whether tones reach a sound device (false before the first tone).
    bool HasDevice() const { return pcm_ != nullptr; }

private:
    bool Open();
    void Close();
    // False when the device failed while playing.
    bool Play(uint32_t frequencyHz, uint32_t ms);

    Clock& clock_;
    std::string deviceName_;
    snd_pcm_t* pcm_ = nullptr;
    bool tried_ = false;
};

} // namespace platform
