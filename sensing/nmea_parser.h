// CNMEAParser: turns the byte stream of a GPS receiver (NMEA 0183) into the
// latest decoded values of each sentence type.
//
// Bytes are framed one at a time: "$", an address of at most 7 characters,
// a body of at most 255 characters, then either "*" and two checksum digits
// (upper-case hex; the sentence is dropped unless they equal the XOR of every
// byte between "$" and "*") or a carriage return (taken without any test).
// Overlong addresses and bodies, and sentences holding any byte outside
// printable ASCII (the NULs and binary bytes of a receiver that reboots), are
// dropped and framing waits for the next "$". Every sentence that gets through is counted in sentenceCount; the
// types GGA, GSA, GSV, RMB, RMC, ZDA and VTG are decoded whatever their
// two-letter talker ("GP", "GN", "GL", "GA", "BD"...), so receivers of
// several satellite systems are read too. Others are only counted.
//
// A decoded value stays until the next sentence of its type overwrites it;
// an absent or empty field keeps the old value unless a fallback is listed.
// A receiver of several systems sends one GSA and one GSV series per system
// each second: those of the same second are joined, so the used PRNs (up to
// 12) and the satellites in view (slots up to 36) cover every system. A new
// second starts with a new time of GGA, RMC or ZDA, or when a system reports
// again.
// One thread feeds the parser; other threads read the groups as they are.
#pragma once

#include <cstddef>
#include <cstdint>

struct NmeaFraming {
    uint8_t state = 0;  // 0 wait for "$", 1 address, 2 body, 3 and 4 checksum digits
    uint8_t checksum = 0;
    uint8_t receivedChecksum = 0;
    uint16_t index = 0;
    char address[8] = {};
    char data[256] = {};
    uint32_t sentenceCount = 0;
};

struct NmeaGga {
    uint8_t hour = 0, minute = 0, second = 0;
    double latitude = 0, longitude = 0;  // decimal degrees, south and west negative
    uint8_t fixQuality = 0;
    uint8_t satellitesUsed = 0;
    double hdop = 0;
    double altitude = 0;
    uint32_t ggaCount = 0;
    uint32_t lastGgaSeconds = 0;  // minute * 60 + second of the previous GGA
    double previousAltitude = 0;
    double verticalSpeed = 0;  // altitude units per minute
    bool operator==(const NmeaGga&) const = default;
};

struct NmeaGsa {
    char mode = 'M';
    uint8_t fixType = 1;
    uint16_t usedPrn[12] = {};
    double pdop = 0, hdop = 0, vdop = 0;
    uint32_t gsaCount = 0;
    bool operator==(const NmeaGsa&) const = default;
};

struct NmeaSatellite {
    uint16_t prn = 0;
    uint16_t snr = 0;
    uint32_t used = 0;
    uint16_t azimuth = 0;
    uint16_t elevation = 0;
    bool operator==(const NmeaSatellite&) const = default;
};

struct NmeaGsv {
    uint16_t inView = 0;
    NmeaSatellite slot[36] = {};
    uint32_t gsvCount = 0;
    bool operator==(const NmeaGsv&) const = default;
};

struct NmeaRmb {
    char status = 'V';
    double crossTrackError = 0;
    char steer = '?';
    char originId[32] = {};
    char destinationId[32] = {};
    double destinationLatitude = 0, destinationLongitude = 0;
    double range = 0, bearing = 0, closingVelocity = 0;
    char arrivalStatus = 0;  // "A" arrived, "V" not yet; 0 until a sentence carries it
    uint32_t rmbCount = 0;
    bool operator==(const NmeaRmb&) const = default;
};

struct NmeaRmc {
    uint8_t hour = 0, minute = 0, second = 0;
    char status = 'V';
    double latitude = 0, longitude = 0;
    double speedKnots = -1;
    double course = -1;
    double courseCopy = -1;
    uint8_t day = 1, month = 1;
    uint16_t year = 2000;
    double magneticVariation = 0;  // west negative
    uint32_t rmcCount = 0;
    bool operator==(const NmeaRmc&) const = default;
};

struct NmeaZda {
    uint8_t hour = 0, minute = 0, second = 0;
    uint8_t day = 1, month = 1;
    uint16_t year = 2000;
    uint8_t zoneHours = 0, zoneMinutes = 0;  // digits only: a sign is not read
    uint32_t zdaCount = 0;
    bool operator==(const NmeaZda&) const = default;
};

// The systems joined in the current second (see above); the parser's own.
struct NmeaSecondOfSystems {
    static constexpr int kSystems = 8;  // unknown, GPS, GLONASS, Galileo, BeiDou, QZSS, NavIC, other
    uint32_t gsaTimeMark = 0;
    uint8_t gsaSystems = 0;  // bit per system whose GSA joined
    uint8_t gsaJoined = 0;
    uint8_t usedCount = 0;
    uint8_t usedSystem[36] = {};
    uint16_t usedPrn[36] = {};
    uint32_t gsvTimeMark = 0;
    uint8_t gsvSystems = 0;  // bit per system whose GSV joined
    uint8_t firstGsvSystem = 0;
    uint16_t gsvBase[kSystems] = {};
    uint16_t gsvInView[kSystems] = {};
};

struct NmeaVtg {
    double trueCourse = 0;
    char trueReference = 0;
    double magneticCourse = 0;
    char magneticReference = 0;
    double speedKnots = 0;
    char knotsUnit = 0;
    double speedKmh = 0;
    char kmhUnit = 0;
    uint8_t vtgSeen = 0;
    bool operator==(const NmeaVtg&) const = default;
};

class CNMEAParser {
public:
    static constexpr int kFieldCapacity = 25;

    CNMEAParser() = default;
    virtual ~CNMEAParser() = default;

    // Feeds every byte to ProcessByte; returns 1.
    int ParseBuffer(const uint8_t* bytes, std::size_t count);
    void ProcessByte(uint8_t byte);
    // Decodes one framed sentence (both texts zero-terminated) and counts it;
    // returns 1.
    int ProcessSentence(const char* address, const char* data);

    // Field n of a body (0 is the one after the address) into output, at most
    // capacity - 1 characters and a terminator. 1 when present and non-empty,
    // else 0 with an empty output.
    static int GetField(const char* data, char* output, int fieldNumber, int capacity = kFieldCapacity);

    // 1 when GGA gave a non-zero latitude and longitude and GSA a 2D or 3D fix.
    int IsPositionValid() const;
    // 1 when prn is non-zero and one of GSA's used satellites.
    int IsSatelliteUsed(uint16_t prn) const;

    const NmeaFraming& Framing() const { return framing_; }
    const NmeaGga& Gga() const { return gga_; }
    const NmeaGsa& Gsa() const { return gsa_; }
    const NmeaGsv& Gsv() const { return gsv_; }
    const NmeaRmb& Rmb() const { return rmb_; }
    const NmeaRmc& Rmc() const { return rmc_; }
    const NmeaZda& Zda() const { return zda_; }
    const NmeaVtg& Vtg() const { return vtg_; }

private:
    void AddressByte(uint8_t byte);
    void DataByte(uint8_t byte);
    void ChecksumDigit(uint8_t byte);

    void DecodeGga(const char* data);
    void UpdateVerticalSpeed();
    void DecodeGsa(const char* data);
    void DecodeGsv(const char* data);
    void DecodeRmb(const char* data);
    void DecodeRmc(const char* data);
    void DecodeZda(const char* data);
    void DecodeVtg(const char* data);

    // Joining the systems of one second (nmea_systems.cpp).
    void NoteTimeOfDay(uint8_t hour, uint8_t minute, uint8_t second);
    void JoinGsa(const uint16_t (&prns)[12], uint32_t systemId);
    bool IsUsedThisSecond(uint8_t system, uint16_t prn) const;
    int JoinGsv(uint32_t number, uint16_t inView, bool inViewPresent, int* limit);

    NmeaFraming framing_;
    NmeaGga gga_;
    NmeaGsa gsa_;
    NmeaGsv gsv_;
    NmeaRmb rmb_;
    NmeaRmc rmc_;
    NmeaZda zda_;
    NmeaVtg vtg_;
    NmeaSecondOfSystems second_;
    uint8_t talkerSystem_ = 0;  // the system of the sentence being decoded, from its talker
    uint32_t timeMark_ = 0;  // changes with every new time of day
    int32_t lastTimeOfDay_ = -1;
};
