#include "platform/devices/host_serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/kernel/internal/host_wait.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"

namespace os::sim {
namespace {

constexpr std::size_t kReadChunk = 2048;
constexpr int kWriteWaitMs = 1000;

struct BaudRow {
    DWORD rate;
    speed_t speed;
};

constexpr BaudRow kBaudRates[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedOf(DWORD rate, speed_t* speed)
{
    for (const BaudRow& row : kBaudRates) {
        if (row.rate == rate) {
            *speed = row.speed;
            return true;
        }
    }
    return false;
}

tcflag_t ByteSizeFlag(BYTE size)
{
    switch (size) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

tcflag_t ParityFlags(BYTE parity)
{
    switch (parity) {
    case ODDPARITY: return PARENB | PARODD;
    case EVENPARITY: return PARENB;
    case MARKPARITY: return PARENB | CMSPAR | PARODD;
    case SPACEPARITY: return PARENB | CMSPAR;
    default: return 0;
    }
}

}  // namespace

std::shared_ptr<HostSerialLine> HostSerialLine::Open(const std::string& devicePath, std::string* error)
{
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = devicePath + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!::isatty(fd)) {
        *error = devicePath + ": not a terminal device";
        ::close(fd);
        return nullptr;
    }
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        *error = devicePath + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<HostSerialLine>(new HostSerialLine(fd, wakeFd, devicePath));
}

HostSerialLine::HostSerialLine(int fd, int wakeFd, std::string path) : fd_(fd), wakeFd_(wakeFd), path_(std::move(path))
{
}

HostSerialLine::~HostSerialLine()
{
    WaitForStop();
    ::close(wakeFd_);
    ::close(fd_);
}

void HostSerialLine::OnProgramWrite(const BYTE* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd out{fd_, POLLOUT, 0};
            int ready = 0;
            {
                detail::HostWaitScope wait("host serial write");
                ready = ::poll(&out, 1, kWriteWaitMs);
            }
            if (ready > 0) continue;
        }
        PlatformLog("host serial %s: %zu byte(s) of the program not sent: %s", path_.c_str(), size - done,
                    n < 0 ? std::strerror(errno) : "the device takes nothing");
        return;
    }
}

void HostSerialLine::OnSettingsChanged(const DCB& settings)
{
    CommLine::OnSettingsChanged(settings);
    ApplySettings(settings);
}

void HostSerialLine::ApplySettings(const DCB& dcb)
{
    termios tio;
    if (::tcgetattr(fd_, &tio) != 0) {
        PlatformLog("host serial %s: cannot read the line settings: %s", path_.c_str(), std::strerror(errno));
        return;
    }
    ::cfmakeraw(&tio);
    speed_t speed = B9600;
    if (SpeedOf(dcb.BaudRate, &speed)) {
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
    } else {
        PlatformLog("host serial %s: %u baud is not a terminal rate; the speed stays", path_.c_str(), dcb.BaudRate);
    }
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | ByteSizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
    // One and a half stop bits exist only for 5-bit bytes, where the
    // terminal's two stop bits give them.
    if (dcb.StopBits != ONESTOPBIT) tio.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    if (dcb.fParity) tio.c_iflag |= INPCK;
    if (dcb.fOutX) tio.c_iflag |= IXON;
    if (dcb.fInX) tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        PlatformLog("host serial %s: cannot apply the line settings: %s", path_.c_str(), std::strerror(errno));
        return;
    }
    if (dcb.fDtrControl != DTR_CONTROL_HANDSHAKE) SetModemLine(TIOCM_DTR, dcb.fDtrControl == DTR_CONTROL_ENABLE);
    if (dcb.fRtsControl == RTS_CONTROL_ENABLE || dcb.fRtsControl == RTS_CONTROL_DISABLE)
        SetModemLine(TIOCM_RTS, dcb.fRtsControl == RTS_CONTROL_ENABLE);
}

void HostSerialLine::SetModemLine(int line, bool on)
{
    // Pseudo-terminals have no modem lines: only a real device is told.
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && errno != ENOTTY && errno != EINVAL)
        PlatformLog("host serial %s: cannot set a modem line: %s", path_.c_str(), std::strerror(errno));
}

void HostSerialLine::OnPortOpened()
{
    // A port opens with the phone's default settings until the program sets its own.
    ApplySettings(DCB{});
    reader_ = CreateThread(nullptr, 0, ReaderThread, this, 0, nullptr);
    if (reader_ == nullptr) {
        PlatformLog("host serial %s: no reader thread", path_.c_str());
        return;
    }
    SetThreadDescription(reader_, "host-serial");
}

void HostSerialLine::OnPortClosed()
{
    WaitForStop();
}

void HostSerialLine::WaitForStop()
{
    if (reader_ == nullptr) return;
    const std::uint64_t one = 1;
    if (::write(wakeFd_, &one, sizeof one) != sizeof one)
        PlatformLog("host serial %s: cannot wake the reader: %s", path_.c_str(), std::strerror(errno));
    WaitForSingleObject(reader_, INFINITE);
    CloseHandle(reader_);
    reader_ = nullptr;
    std::uint64_t count = 0;
    while (::read(wakeFd_, &count, sizeof count) > 0) {
    }
}

DWORD HostSerialLine::ReaderThread(void* self)
{
    static_cast<HostSerialLine*>(self)->ReadUntilStopped();
    return 0;
}

void HostSerialLine::ReadUntilStopped()
{
    BYTE buffer[kReadChunk];
    bool hungUp = false;
    for (;;) {
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
        int ready = 0;
        {
            detail::HostWaitScope wait("host serial");
            // After a hang-up only the stop is waited for.
            ready = ::poll(fds, hungUp ? 1 : 2, -1);
        }
        if (ready < 0) {
            if (errno == EINTR) continue;
            PlatformLog("host serial %s: wait failed: %s", path_.c_str(), std::strerror(errno));
            return;
        }
        if (fds[0].revents != 0) return;
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                Feed(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        }
        PlatformLog("host serial %s: the device hung up", path_.c_str());
        hungUp = true;
    }
}

}  // namespace os::sim
