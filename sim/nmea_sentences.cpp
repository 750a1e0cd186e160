#include "sim/nmea_sentences.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {
namespace {

constexpr double kKnotsToKmh = 1.852;
constexpr double kGeoidSeparation = 18.0;

std::string Format(const char* format, auto... values)
{
    char text[96];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// ddmm.mmmm (latitude) or dddmm.mmmm (longitude) and the hemisphere letter.
std::string Coordinate(double degrees, int degreeDigits, char positive, char negative)
{
    const long long tenThousandths = std::llround(std::fabs(degrees) * 60.0 * 10000.0);
    const long long whole = tenThousandths / 600000;
    const double minutes = static_cast<double>(tenThousandths % 600000) / 10000.0;
    return Format("%0*lld%07.4f,%c", degreeDigits, whole, minutes, degrees < 0 ? negative : positive);
}

std::string Time(const ReceiverReport& r)
{
    return Format("%02d%02d%02d.00", r.hour, r.minute, r.second);
}

// Dilution of precision of a fix with that many satellites.
double Pdop(int used)
{
    return 1.0 + 6.0 / used;
}

std::string Gga(const ReceiverReport& r)
{
    if (!r.fix) return "GPGGA," + Time(r) + ",,,,,0,00,,,M,,M,,";
    const double pdop = Pdop(r.used);
    return "GPGGA," + Time(r) + "," + Coordinate(r.latitude, 2, 'N', 'S') + "," +
           Coordinate(r.longitude, 3, 'E', 'W') + Format(",1,%02d,%.1f,%.1f,M,%.1f,M,,", r.used, pdop * 0.6,
                                                       r.altitude, kGeoidSeparation);
}

std::string Gsa(const ReceiverReport& r)
{
    std::string body = r.fix ? (r.used >= 4 ? "GPGSA,A,3" : "GPGSA,A,2") : "GPGSA,A,1";
    for (int i = 0; i < 12; ++i)
        body += r.fix && i < r.used ? Format(",%02d", r.inView[static_cast<std::size_t>(i)].prn) : ",";
    if (!r.fix) return body + ",,,";
    const double pdop = Pdop(r.used);
    return body + Format(",%.1f,%.1f,%.1f", pdop, pdop * 0.6, pdop * 0.8);
}

std::string Gsv(const ReceiverReport& r)
{
    const std::vector<SkySatellite> none;
    const std::vector<SkySatellite>& sky = r.fix ? r.inView : none;
    const int count = static_cast<int>(sky.size());
    const int messages = std::max(1, (count + 3) / 4);
    std::string out;
    for (int m = 0; m < messages; ++m) {
        std::string body = Format("GPGSV,%d,%d,%02d", messages, m + 1, count);
        for (int i = m * 4; i < std::min(count, m * 4 + 4); ++i) {
            const SkySatellite& s = sky[static_cast<std::size_t>(i)];
            body += Format(",%02d,%02d,%03d,%02d", s.prn, s.elevation, s.azimuth, s.snr);
        }
        out += NmeaSentence(body);
    }
    return out;
}

std::string Rmc(const ReceiverReport& r)
{
    const std::string date = Format("%02d%02d%02d", r.day, r.month, r.year % 100);
    if (!r.fix) return "GPRMC," + Time(r) + ",V,,,,,,," + date + ",,,N";
    return "GPRMC," + Time(r) + ",A," + Coordinate(r.latitude, 2, 'N', 'S') + "," +
           Coordinate(r.longitude, 3, 'E', 'W') + Format(",%.1f,%.1f,", r.speedKnots, r.courseDeg) + date + ",,,A";
}

std::string Vtg(const ReceiverReport& r)
{
    if (!r.fix) return "GPVTG,,T,,M,,N,,K,N";
    return Format("GPVTG,%.1f,T,,M,%.1f,N,%.1f,K,A", r.courseDeg, r.speedKnots, r.speedKnots * kKnotsToKmh);
}

}  // namespace

std::string NmeaSentence(std::string_view body)
{
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    std::string sentence(1, '$');
    sentence.append(body);
    sentence += Format("*%02X\r\n", sum);
    return sentence;
}

std::string ReportSentences(const ReceiverReport& report)
{
    ReceiverReport r = report;
    r.used = std::clamp(r.used, 0, static_cast<int>(r.inView.size()));
    r.fix = r.fix && r.used >= 3;
    return NmeaSentence(Gga(r)) + NmeaSentence(Gsa(r)) + Gsv(r) + NmeaSentence(Rmc(r)) + NmeaSentence(Vtg(r));
}

std::vector<SkySatellite> SkyWithSatellites(int used)
{
    static constexpr SkySatellite kSky[] = {
        {2, 71, 54, 47},   {5, 48, 301, 45},  {7, 33, 118, 43},  {9, 62, 215, 46},
        {12, 25, 167, 40}, {15, 41, 263, 42}, {17, 19, 35, 38},  {20, 56, 332, 44},
        {24, 14, 88, 36},  {26, 11, 196, 34}, {29, 8, 240, 31},  {31, 5, 12, 28},
    };
    const int inView = std::clamp(used + 3, 0, 12);
    return std::vector<SkySatellite>(kSky, kSky + inView);
}

}  // namespace sim
