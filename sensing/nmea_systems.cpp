// Joining the GSA and GSV series of the satellite systems of one second.
#include "sensing/nmea_systems.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "sensing/nmea_parser.h"

namespace nmea {

uint8_t TalkerSystem(const char* address)
{
    struct Talker {
        const char* letters;
        uint8_t system;
    };
    static constexpr Talker kTalkers[] = {
        {"GN", kSystemUnknown}, {"GP", kSystemGps},    {"GL", kSystemGlonass}, {"GA", kSystemGalileo},
        {"GB", kSystemBeiDou},  {"BD", kSystemBeiDou}, {"GQ", kSystemQzss},    {"GI", kSystemNavic},
    };
    for (const Talker& talker : kTalkers) {
        if (std::strncmp(address, talker.letters, 2) == 0) return talker.system;
    }
    return kSystemOther;
}

}  // namespace nmea

namespace {

using namespace nmea;

// The system id field of GSA (1 GPS to 6 NavIC), sent by newer receivers.
uint8_t SystemOfId(uint32_t id)
{
    return id >= 1 && id <= 6 ? static_cast<uint8_t>(kSystemGps + id - 1) : uint8_t{kSystemUnknown};
}

// Combined GSAs without an id: GLONASS satellites are numbered 65 to 96,
// the rest are taken for GPS.
uint8_t SystemOfPrns(const uint16_t (&prns)[12])
{
    for (uint16_t prn : prns) {
        if (prn != 0) return prn >= 65 && prn <= 96 ? kSystemGlonass : kSystemGps;
    }
    return kSystemUnknown;
}

uint8_t Bit(uint8_t system)
{
    return static_cast<uint8_t>(1u << system);
}

}  // namespace

void CNMEAParser::NoteTimeOfDay(uint8_t hour, uint8_t minute, uint8_t second)
{
    const int32_t timeOfDay = hour * 3600 + minute * 60 + second;
    if (timeOfDay != lastTimeOfDay_) {
        lastTimeOfDay_ = timeOfDay;
        ++timeMark_;
    }
}

bool CNMEAParser::IsUsedThisSecond(uint8_t system, uint16_t prn) const
{
    if (prn == 0) return false;
    for (int i = 0; i < second_.usedCount; ++i) {
        const uint8_t usedSystem = second_.usedSystem[i];
        if (second_.usedPrn[i] == prn &&
            (usedSystem == system || usedSystem == kSystemUnknown || system == kSystemUnknown))
            return true;
    }
    return false;
}

// The first GSA of a second replaces the used list as one system's GSA always
// has; the GSAs of other systems in the same second fill its empty places.
void CNMEAParser::JoinGsa(const uint16_t (&prns)[12], uint32_t systemId)
{
    NmeaSecondOfSystems& s = second_;
    const bool named = talkerSystem_ != kSystemUnknown || SystemOfId(systemId) != kSystemUnknown;
    uint8_t system = talkerSystem_ != kSystemUnknown ? talkerSystem_ : SystemOfId(systemId);
    if (system == kSystemUnknown) system = SystemOfPrns(prns);

    bool again = s.gsaTimeMark != timeMark_ || (named && (s.gsaSystems & Bit(system)));
    for (uint16_t prn : prns) again = again || IsUsedThisSecond(system, prn);
    if (again || s.gsaJoined == 0) {
        s.gsaTimeMark = timeMark_;
        s.gsaSystems = 0;
        s.gsaJoined = 0;
        s.usedCount = 0;
        std::copy(std::begin(prns), std::end(prns), gsa_.usedPrn);
    } else {
        int place = 0;
        for (uint16_t prn : prns) {
            if (prn == 0) continue;
            while (place < 12 && gsa_.usedPrn[place] != 0) ++place;
            if (place == 12) break;
            gsa_.usedPrn[place] = prn;
        }
    }
    for (uint16_t prn : prns) {
        if (prn == 0 || s.usedCount == std::size(s.usedPrn)) continue;
        s.usedSystem[s.usedCount] = system;
        s.usedPrn[s.usedCount++] = prn;
    }
    s.gsaSystems = static_cast<uint8_t>(s.gsaSystems | Bit(system));
    ++s.gsaJoined;
}

// The first system of a second fills the slots from 0 as a single system's
// GSV always has; each further system's satellites follow those in view
// before it, and write no further than its own number in view.
int CNMEAParser::JoinGsv(uint32_t number, uint16_t inView, bool inViewPresent, int* limit)
{
    NmeaSecondOfSystems& s = second_;
    const uint8_t system = talkerSystem_;
    const bool joined = (s.gsvSystems & Bit(system)) != 0;
    if (s.gsvTimeMark != timeMark_ || s.gsvSystems == 0 || (joined && number == 1)) {
        s.gsvTimeMark = timeMark_;
        s.gsvSystems = 0;
        s.firstGsvSystem = system;
        std::fill(std::begin(s.gsvInView), std::end(s.gsvInView), 0);
    }
    if (!(s.gsvSystems & Bit(system))) {
        uint32_t before = 0;
        for (uint16_t count : s.gsvInView) before += count;
        s.gsvBase[system] = static_cast<uint16_t>(std::min<uint32_t>(before, std::size(gsv_.slot)));
        s.gsvSystems = static_cast<uint8_t>(s.gsvSystems | Bit(system));
    }
    if (inViewPresent) {
        s.gsvInView[system] = inView;
        uint32_t total = 0;
        for (uint16_t count : s.gsvInView) total += count;
        gsv_.inView = static_cast<uint16_t>(std::min<uint32_t>(total, UINT16_MAX));
    }
    // The first system's base is 0: nothing was in view before it.
    const int slots = static_cast<int>(std::size(gsv_.slot));
    *limit = system == s.firstGsvSystem ? slots : std::min(slots, s.gsvBase[system] + s.gsvInView[system]);
    return s.gsvBase[system];
}
