// The decoders of the seven sentence types. Fields are numbered from 0 after
// the address; an absent or empty field keeps the value it replaces unless a
// fallback is given.
#include <cmath>
#include <cstring>

#include "sensing/nmea_fields.h"
#include "sensing/nmea_parser.h"

namespace {

class Field {
public:
    Field(const char* data, int number) : present_(CNMEAParser::GetField(data, text_, number) != 0) {}
    bool Present() const { return present_; }
    const char* Text() const { return text_; }
    char First() const { return text_[0]; }

    void Character(char* value) const
    {
        if (present_) *value = text_[0];
    }
    // Character minus "0", as fix quality and fix type are sent.
    void DigitCharacter(uint8_t* value) const
    {
        if (present_) *value = static_cast<uint8_t>(text_[0] - '0');
    }
    void Real(double* value) const
    {
        if (present_) *value = nmea::Real(text_);
    }
    double RealOr(double fallback) const { return present_ ? nmea::Real(text_) : fallback; }
    uint32_t Integer(std::size_t maxChars = SIZE_MAX) const { return nmea::LeadingInteger(text_, maxChars); }
    void Text(char* value, std::size_t capacity) const
    {
        if (present_) std::strncpy(value, text_, capacity - 1);
    }
    void Time(uint8_t* hour, uint8_t* minute, uint8_t* second) const
    {
        if (!present_) return;
        *hour = static_cast<uint8_t>(nmea::TwoDigitGroup(text_, 0));
        *minute = static_cast<uint8_t>(nmea::TwoDigitGroup(text_, 2));
        *second = static_cast<uint8_t>(nmea::TwoDigitGroup(text_, 4));
    }

private:
    char text_[CNMEAParser::kFieldCapacity];
    bool present_;
};

// A coordinate and the hemisphere field after it; negative is "S" or "W".
void SignedCoordinate(const char* data, int number, std::size_t degreeDigits, char negative, double* value)
{
    const Field coordinate(data, number);
    if (!coordinate.Present()) return;
    const double degrees = nmea::Coordinate(coordinate.Text(), degreeDigits);
    *value = Field(data, number + 1).First() == negative ? -degrees : degrees;
}

}  // namespace

void CNMEAParser::DecodeGga(const char* data)
{
    Field(data, 0).Time(&gga_.hour, &gga_.minute, &gga_.second);
    if (Field(data, 0).Present()) NoteTimeOfDay(gga_.hour, gga_.minute, gga_.second);
    SignedCoordinate(data, 1, 2, 'S', &gga_.latitude);
    SignedCoordinate(data, 3, 3, 'W', &gga_.longitude);
    Field(data, 5).DigitCharacter(&gga_.fixQuality);
    if (const Field used(data, 6); used.Present()) gga_.satellitesUsed = static_cast<uint8_t>(used.Integer(2));
    Field(data, 7).Real(&gga_.hdop);
    Field(data, 8).Real(&gga_.altitude);
    UpdateVerticalSpeed();
    ++gga_.ggaCount;
}

// Seconds within the hour only, so no speed is computed across an hour.
void CNMEAParser::UpdateVerticalSpeed()
{
    const uint32_t seconds = gga_.minute * 60u + gga_.second;
    if (seconds > gga_.lastGgaSeconds) {
        const double minutes = (seconds - gga_.lastGgaSeconds) / 60.0;
        gga_.verticalSpeed = (gga_.altitude - gga_.previousAltitude) / minutes;
    }
    gga_.previousAltitude = gga_.altitude;
    gga_.lastGgaSeconds = seconds;
}

void CNMEAParser::DecodeGsa(const char* data)
{
    Field(data, 0).Character(&gsa_.mode);
    Field(data, 1).DigitCharacter(&gsa_.fixType);
    uint16_t prns[12];
    for (int i = 0; i < 12; ++i) prns[i] = static_cast<uint16_t>(Field(data, 2 + i).Integer(2));
    const Field systemId(data, 17);
    JoinGsa(prns, systemId.Present() ? systemId.Integer() : 0);
    gsa_.pdop = Field(data, 14).RealOr(0);
    gsa_.hdop = Field(data, 15).RealOr(0);
    gsa_.vdop = Field(data, 16).RealOr(0);
    if (gsa_.pdop == 0) gsa_.pdop = std::sqrt(gsa_.hdop * gsa_.hdop + gsa_.vdop * gsa_.vdop);
    ++gsa_.gsaCount;
}

void CNMEAParser::DecodeGsv(const char* data)
{
    const uint32_t messages = Field(data, 0).Integer();
    const uint32_t number = Field(data, 1).Integer();
    if (number > 9 || messages < 1 || messages > 8) return;
    const Field inView(data, 2);
    int limit = 0;
    const int base = JoinGsv(number, static_cast<uint16_t>(inView.Integer()), inView.Present(), &limit);
    // Message number 0 would point before the first slot: its satellites are not stored.
    for (uint32_t j = 0; j < 4 && number > 0; ++j) {
        const int index = base + static_cast<int>((number - 1) * 4 + j);
        if (index >= limit) break;
        NmeaSatellite& slot = gsv_.slot[index];
        slot.prn = static_cast<uint16_t>(Field(data, 3 + 4 * j).Integer());
        slot.elevation = static_cast<uint16_t>(Field(data, 4 + 4 * j).Integer());
        slot.azimuth = static_cast<uint16_t>(Field(data, 5 + 4 * j).Integer());
        slot.snr = static_cast<uint16_t>(Field(data, 6 + 4 * j).Integer());
        slot.used = static_cast<uint32_t>(IsUsedThisSecond(talkerSystem_, slot.prn));
    }
    ++gsv_.gsvCount;
}

void CNMEAParser::DecodeRmb(const char* data)
{
    rmb_.status = Field(data, 0).Present() ? Field(data, 0).First() : 'V';
    rmb_.crossTrackError = Field(data, 1).RealOr(0);
    rmb_.steer = Field(data, 2).Present() ? Field(data, 2).First() : '?';
    Field(data, 3).Text(rmb_.originId, sizeof(rmb_.originId));
    Field(data, 4).Text(rmb_.destinationId, sizeof(rmb_.destinationId));
    SignedCoordinate(data, 5, 2, 'S', &rmb_.destinationLatitude);
    SignedCoordinate(data, 7, 3, 'W', &rmb_.destinationLongitude);
    rmb_.range = Field(data, 9).RealOr(0);
    rmb_.bearing = Field(data, 10).RealOr(0);
    rmb_.closingVelocity = Field(data, 11).RealOr(0);
    Field(data, 12).Character(&rmb_.arrivalStatus);
    ++rmb_.rmbCount;
}

void CNMEAParser::DecodeRmc(const char* data)
{
    Field(data, 0).Time(&rmc_.hour, &rmc_.minute, &rmc_.second);
    if (Field(data, 0).Present()) NoteTimeOfDay(rmc_.hour, rmc_.minute, rmc_.second);
    rmc_.status = Field(data, 1).Present() ? Field(data, 1).First() : 'V';
    SignedCoordinate(data, 2, 2, 'S', &rmc_.latitude);
    SignedCoordinate(data, 4, 3, 'W', &rmc_.longitude);
    rmc_.speedKnots = Field(data, 6).RealOr(-1);
    rmc_.course = Field(data, 7).RealOr(-1);
    rmc_.courseCopy = rmc_.course;
    if (const Field date(data, 8); date.Present()) {
        rmc_.day = static_cast<uint8_t>(nmea::TwoDigitGroup(date.Text(), 0));
        rmc_.month = static_cast<uint8_t>(nmea::TwoDigitGroup(date.Text(), 2));
        rmc_.year = static_cast<uint16_t>(2000 + nmea::TwoDigitGroup(date.Text(), 4));
    }
    const double variation = Field(data, 9).RealOr(0);
    rmc_.magneticVariation = Field(data, 10).First() == 'W' ? -variation : variation;
    ++rmc_.rmcCount;
}

void CNMEAParser::DecodeZda(const char* data)
{
    Field(data, 0).Time(&zda_.hour, &zda_.minute, &zda_.second);
    if (Field(data, 0).Present()) NoteTimeOfDay(zda_.hour, zda_.minute, zda_.second);
    const Field day(data, 1);
    zda_.day = day.Present() ? static_cast<uint8_t>(day.Integer()) : 1;
    const Field month(data, 2);
    zda_.month = month.Present() ? static_cast<uint8_t>(month.Integer()) : 1;
    if (const Field year(data, 3); year.Present()) zda_.year = static_cast<uint16_t>(year.Integer());
    zda_.zoneHours = static_cast<uint8_t>(Field(data, 4).Integer());
    zda_.zoneMinutes = static_cast<uint8_t>(Field(data, 5).Integer());
    ++zda_.zdaCount;
}

void CNMEAParser::DecodeVtg(const char* data)
{
    vtg_.vtgSeen = 1;
    Field(data, 0).Real(&vtg_.trueCourse);
    Field(data, 1).Character(&vtg_.trueReference);
    Field(data, 2).Real(&vtg_.magneticCourse);
    Field(data, 3).Character(&vtg_.magneticReference);
    Field(data, 4).Real(&vtg_.speedKnots);
    Field(data, 5).Character(&vtg_.knotsUnit);
    Field(data, 6).Real(&vtg_.speedKmh);
    Field(data, 7).Character(&vtg_.kmhUnit);
}
