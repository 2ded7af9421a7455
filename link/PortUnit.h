// SPDX-License-Identifier: GPL-3.0-or-later
// The port module: the console's single serial connection to the station.
#pragma once

#include "link/ReceiveQueue.h"
#include "link/StationFrame.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <cstdint>

namespace station {

// What went wrong with the port, told as a value: the window words it for the
// operator. The system's own text is never passed on.
enum class PortFault {
    None,
    NoDevice,        // nothing at the path (a dangling link, an adapter not plugged in)
    NotSerialPort,   // a regular file, a folder, a device that is no terminal
    NoPermission,    // this user may not open the device
    Busy,            // another program (or another console) holds the device
    Disconnected,    // the device went away while open
    SettingsRefused, // the device does not take the line settings
    SystemError,     // anything else; systemError tells which
};

// A fault with the device it concerns.
struct PortFailure {
    PortFault fault = PortFault::None;
    QString device;      // the path or name handed to open()
    QString node;        // the device node it leads to, links followed; empty when none
    int systemError = 0; // the system's error number, where one was seen

    bool operator==(const PortFailure&) const = default;
};

// Outcome of an open: the device and node tried, and on failure why.
struct OpenResult {
    bool ok = false;
    PortFailure failure; // fault None when ok
};

// How the system's error number from an open reads as a fault.
PortFault openFault(int systemError);
// How the system's error number from an open device that stopped answering reads.
PortFault lossFault(int systemError);

// What is wrong with the device at `path` as far as can be told without opening
// it (an open may raise the lines of a real adapter): NoDevice, NotSerialPort,
// NoPermission, or None when it looks like a device this user may open.
PortFault probeDevice(const QString& path);

// The device node a path or a bare name ("ttyUSB0", under /dev) leads to, links
// followed; empty when nothing is there.
QString deviceNode(const QString& device);

// Maps a stored port name to the device to open. A name starting with "/" is a
// device path used as it is; "Com<N>" (any letter case, N >= 1) is the file
// "com<N>" in appDir when it exists (a link the user or the simulator made),
// otherwise /dev/ttyS<N-1>; anything else is passed on unchanged. On Windows the
// stored name is the device name.
QString resolvePortDevice(const QString& storedName, const QString& appDir);

// Whether an error reported while the port is open means the device is gone (an
// unplugged adapter, a vanished pty) rather than one failed transfer.
// `deviceAnswers`: the device still answers a request for its line settings. A
// write that would block (the station stopped reading, the output buffer is full)
// raises a resource error too, on a device that is still there.
bool isFatalPortError(QSerialPort::SerialPortError error, bool deviceAnswers);

// Owns the QSerialPort. Never shows anything: results come back as values and a
// lost device as the signal lost().
class PortUnit : public QObject {
    Q_OBJECT
public:
    explicit PortUnit(QObject* parent = nullptr);
    ~PortUnit() override;

    // Opens `device` exclusively for reading and writing at `baudRate`, 8 data
    // bits, no parity, one stop bit; other line settings stay as the driver has
    // them. Closes a port that was open before.
    //
    // One device, one console: the device is opened and locked by its node
    // (links followed), so a second console is refused whichever path it names,
    // root or not. The lock is taken before the line settings are touched, so a
    // refused console changes nothing on a line another one holds.
    OpenResult open(const QString& device, std::uint32_t baudRate);
    void close();
    bool isOpen() const;

    // Writes one whole frame and pushes it to the driver before returning, so the
    // bytes reach the wire even if the caller then blocks the thread. While the
    // line has not taken the previous frame yet (the station stopped reading and
    // the output buffer is full) the frame is dropped whole and false returned:
    // a frame goes out whole or not at all, never in part.
    bool writeFrame(const StationFrame& frame);

    // Bytes received and not yet taken as frames, including what the driver
    // holds but Qt has not pulled yet.
    std::int64_t bytesWaiting();

    // Takes every byte waiting into the receive queue and hands back every whole
    // frame of the answers that ended since the last call, oldest first; none when
    // no such frame came (and always on a closed port). How the bytes are cut into
    // frames is the receive queue's rule. The queue starts empty at each open and is emptied at
    // each close.
    QList<StationFrame> readFrames();

signals:
    // The device failed while open (unplugged adapter, vanished pty). Emitted once
    // per open, from the event loop right after the failure is seen; the port is
    // already closed when it is emitted. A close by the caller emits nothing.
    void lost(const station::PortFailure& failure);

private:
    void onError(QSerialPort::SerialPortError error);
    int deviceFailure() const;
    void markLost(PortFault fault, int systemError);
    PortFault lockDevice(const QString& node, int& systemError);
    void unlockDevice();
    void reportLost();
    void pullFromDriver();
    void takeArrivedBytes();
    ReceiveQueue::Time now() const;

    QSerialPort* m_port = nullptr;
    ReceiveQueue m_received;
    // Arrival times of the station's bytes, for the receive queue's silences.
    QElapsedTimer m_clock;
    // Set when the device failed; from then on the port is treated as closed and
    // lost() follows from the event loop.
    bool m_lostPending = false;
    PortFailure m_lost;
    // The device and node of the open port, for a loss report.
    QString m_device;
    QString m_node;
    // A descriptor of our own on the device node, holding the lock on it while the
    // port is open; -1 when none.
    int m_lockFd = -1;
};

} // namespace station
