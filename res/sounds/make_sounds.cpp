// Makes the handset's system sounds that the program plays from "\windows":
// short tones and chirps, 8000 Hz mono 16-bit PCM WAVE, written into the
// folder given as the only argument. Run at build time; the simulator
// binds their folder to the device's "\windows", read-only.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 8000;
constexpr double kPi = 3.14159265358979323846;

// A sweep from one frequency to another; 0 Hz is a pause.
struct Note {
    double fromHz;
    double toHz;
    int ms;
};

struct Sound {
    const char* name;
    std::vector<Note> notes;
};

const std::vector<Sound>& Sounds()
{
    static const std::vector<Sound> sounds = {
        {"camcorder_start_musical01.wav", {{660, 660, 120}, {880, 880, 180}}},
        {"camcorder_start_musical02.wav", {{523, 523, 100}, {659, 659, 100}, {784, 784, 150}}},
        {"StartRecording.wav", {{600, 1200, 250}}},
        {"camcorder_end_musical01.wav", {{880, 880, 120}, {660, 660, 180}}},
        {"camcorder_end_musical02.wav", {{784, 784, 100}, {659, 659, 100}, {523, 523, 150}}},
        {"StopRecording.wav", {{1200, 600, 250}}},
        {"shutter_01.wav", {{2000, 400, 80}, {0, 0, 40}, {1800, 400, 80}}},
        {"shutter_02.wav", {{2400, 600, 120}}},
        {"shutter_03.wav", {{1500, 1500, 40}, {0, 0, 30}, {1500, 1500, 40}}},
        {"shutter_04.wav", {{3000, 800, 150}}},
        {"shutter_05.wav", {{1000, 2500, 100}, {2500, 1000, 100}}},
        {"AutoFocus.wav", {{1500, 1500, 60}, {0, 0, 40}, {1500, 1500, 60}}},
        {"AutoFocusFail.wav", {{400, 300, 300}}},
        {"Alarm2.wav", {{960, 960, 250}, {770, 770, 250}, {960, 960, 250}, {770, 770, 250}}},
    };
    return sounds;
}

void Put(std::vector<unsigned char>* out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::vector<std::int16_t> Render(const std::vector<Note>& notes)
{
    std::vector<std::int16_t> samples;
    double phase = 0;
    for (const Note& note : notes) {
        const int count = note.ms * kRate / 1000;
        const int fade = kRate / 200;  // 5 ms, so that no note starts or ends with a click
        for (int i = 0; i < count; ++i) {
            const double hz = note.fromHz + (note.toHz - note.fromHz) * i / count;
            phase += 2 * kPi * hz / kRate;
            const double edge = std::fmin(1.0, std::fmin(i, count - 1 - i) / static_cast<double>(fade));
            samples.push_back(static_cast<std::int16_t>(hz == 0 ? 0 : 12000 * edge * std::sin(phase)));
        }
    }
    return samples;
}

bool Write(const std::string& path, const std::vector<std::int16_t>& samples)
{
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<unsigned char> bytes;
    bytes.reserve(44 + dataBytes);
    const auto tag = [&](const char* t) { bytes.insert(bytes.end(), t, t + 4); };
    tag("RIFF");
    Put(&bytes, 36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    Put(&bytes, 16, 4);
    Put(&bytes, 1, 2);
    Put(&bytes, 1, 2);
    Put(&bytes, kRate, 4);
    Put(&bytes, kRate * 2, 4);
    Put(&bytes, 2, 2);
    Put(&bytes, 16, 2);
    tag("data");
    Put(&bytes, dataBytes, 4);
    for (const std::int16_t s : samples) Put(&bytes, static_cast<std::uint16_t>(s), 2);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds FOLDER\n");
        return 2;
    }
    for (const Sound& sound : Sounds()) {
        const std::string path = std::string(argv[1]) + "/" + sound.name;
        if (!Write(path, Render(sound.notes))) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}
