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

// Outcome of an open: on failure, the device that was tried and the system's reason.
struct OpenResult {
    bool ok = false;
    QString device; // the device path or name handed to the serial port
    QString reason; // the system's reason when !ok
};

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
    void lost(const QString& reason);

private:
    void onError(QSerialPort::SerialPortError error);
    QString deviceFailure() const;
    void markLost(const QString& reason);
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
    QString m_lostReason;
};

} // namespace station
