// The click played through ALSA on a thread of its own, so that no open, write or drain ever holds up
// the GUI thread; a click that comes while one still sounds, or finds the device busy, is dropped.
#include "click_sound.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <QFile>

#include "program_resources.h"

namespace {

struct PcmSound
{
    unsigned channels = 0;
    unsigned rate = 0;
    QByteArray samples; // interleaved signed 16-bit little-endian
};

quint32 readLe32(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}

quint16 readLe16(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint16(b[0] | b[1] << 8);
}

// The 16-bit PCM content of a RIFF WAVE file; channels stays 0 for anything else.
PcmSound readPcmWave(const QByteArray& file)
{
    PcmSound sound;
    if (file.size() < 12 || std::memcmp(file.constData(), "RIFF", 4) != 0 ||
        std::memcmp(file.constData() + 8, "WAVE", 4) != 0)
        return sound;
    unsigned channels = 0;
    unsigned rate = 0;
    qsizetype at = 12;
    while (at + 8 <= file.size()) {
        const char* chunk = file.constData() + at;
        const qsizetype length = readLe32(chunk + 4);
        if (length > file.size() - at - 8)
            return sound;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && length >= 16) {
            if (readLe16(chunk + 8) != 1 || readLe16(chunk + 22) != 16)
                return sound;
            channels = readLe16(chunk + 10);
            rate = readLe32(chunk + 12);
        } else if (std::memcmp(chunk, "data", 4) == 0 && channels > 0) {
            sound.channels = channels;
            sound.rate = rate;
            sound.samples = file.mid(at + 8, length);
            return sound;
        }
        at += 8 + length + (length & 1);
    }
    return sound;
}

// ALSA reports every failure on stderr by default; a machine without sound would print on each click.
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...)
{
}

class SilentClick : public ClickSound
{
public:
    void play() override {}
};

class AlsaClickSound : public ClickSound
{
public:
    AlsaClickSound(PcmSound sound, std::string device)
        : m_sound(std::move(sound)), m_device(std::move(device)), m_thread([this] { run(); })
    {
    }

    ~AlsaClickSound() override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void play() override
    {
        if (m_sounding.exchange(true))
            return;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requested = true;
        }
        m_wake.notify_one();
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_requested || m_stopping; });
            if (m_requested) {
                m_requested = false;
                lock.unlock();
                playOnce();
                m_sounding = false;
                lock.lock();
            } else {
                return;
            }
        }
    }

    void playOnce() const
    {
        snd_pcm_t* pcm = nullptr;
        // Opened without blocking, so that a device in use elsewhere means no click rather than a wait.
        if (snd_pcm_open(&pcm, m_device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
            return;
        std::unique_ptr<snd_pcm_t, int (*)(snd_pcm_t*)> handle(pcm, snd_pcm_close);
        if (snd_pcm_nonblock(pcm, 0) < 0 ||
            snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, m_sound.channels,
                               m_sound.rate, 1, 100000) < 0)
            return;
        const char* data = m_sound.samples.constData();
        const snd_pcm_uframes_t frameBytes = m_sound.channels * 2;
        snd_pcm_uframes_t left = m_sound.samples.size() / frameBytes;
        while (left > 0) {
            snd_pcm_sframes_t written = snd_pcm_writei(pcm, data, left);
            if (written < 0) {
                if (snd_pcm_recover(pcm, int(written), 1) < 0)
                    return;
                continue;
            }
            data += written * frameBytes;
            left -= written;
        }
        snd_pcm_drain(pcm);
    }

    const PcmSound m_sound;
    const std::string m_device;
    std::atomic<bool> m_sounding{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_requested = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace

std::unique_ptr<ClickSound> makeClickSound()
{
    return makeClickSound("default");
}

std::unique_ptr<ClickSound> makeClickSound(const std::string& alsaDevice)
{
    QFile file(QString::fromLatin1(programResources::kClickSound));
    PcmSound sound = file.open(QIODevice::ReadOnly) ? readPcmWave(file.readAll()) : PcmSound();
    if (sound.channels == 0 || sound.samples.size() < qsizetype(sound.channels) * 2)
        return std::make_unique<SilentClick>();
    static std::once_flag quietAlsa;
    std::call_once(quietAlsa, [] { snd_lib_error_set_handler(ignoreAlsaError); });
    return std::make_unique<AlsaClickSound>(std::move(sound), alsaDevice);
}
