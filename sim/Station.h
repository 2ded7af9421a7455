// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated station on a pseudo-terminal: reads the console's frames, answers them, runs
// profiles.
#pragma once

#include "link/StationFrame.h"
#include "sim/FrameLog.h"
#include "sim/FrameReader.h"
#include "sim/PseudoTerminal.h"
#include "sim/ThermalModel.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>

class QSocketNotifier;

namespace sim {

// What the command line of build/station-sim sets.
struct StationOptions {
    QString linkPath;         // symbolic link to the slave, made on open and removed on close
    QString logPath;          // frame log; none when empty
    bool demo = false;        // starts runs by itself
    bool silent = false;      // reads but never answers
    bool garbage = false;     // answers with random bytes in place of telemetry
    int burst = 1;            // frames per answer
    bool split = false;       // delivers answers in small pieces with short gaps
    bool instant = false;     // answers at once, without the line's transmission time
    bool doubled = false;     // answers with two frames, the remote command in the first only
    double hangupAfter = 0.0; // closes the pseudo-terminal after this many seconds; 0 never
    std::optional<std::uint32_t> seed; // random when unset
    double speed = 1.0;                // the station's clock runs this many times faster
    // Each telemetry frame reports readings one degree above the frame before: the
    // n-th (from 1) top (130 + n) and bottom (20 + n), modulo 256. A reading shown
    // or recorded twice, or one that went missing, is then plain to see.
    bool countUp = false;
};

class Station : public QObject {
    Q_OBJECT
public:
    // The model is brought up to date at this period and before every answer.
    static constexpr std::chrono::milliseconds kModelTick{100};
    // A remote command travels in this many consecutive answers, in every frame of
    // each (a burst repeats the station's state), so one lost answer does not lose
    // it; repeating start or stop is harmless to the console.
    static constexpr int kCommandRepeats = 3;
    // Demo runs: the first this long after the console's first status frame, the
    // next this long after a run ends (station seconds).
    static constexpr double kDemoFirstDelay = 10.0;
    static constexpr double kDemoPause = 60.0;
    // Split delivery: pieces of 1..kSplitMaxPiece bytes, one every kSplitGap.
    static constexpr std::chrono::milliseconds kSplitGap{20};
    static constexpr int kSplitMaxPiece = 12;
    // Bytes the console has not taken yet beyond this are dropped, oldest first.
    static constexpr qsizetype kMaxOutgoing = 64 * 1024;
    // An answer is on the console's side once the status frame and the answer have
    // crossed the line: ten bits a byte at the terminal's rate (this one when the
    // rate is unknown). A pseudo-terminal itself takes no time.
    static constexpr int kLineBitsPerByte = 10;
    static constexpr int kDefaultBaud = 19200;
    // The readings a counting station starts from (countUp).
    static constexpr std::uint32_t kCountUpTop = 130;
    static constexpr std::uint32_t kCountUpBottom = 20;

    explicit Station(StationOptions options = {}, QObject* parent = nullptr);
    ~Station() override;

    // Opens the pseudo-terminal, makes the link and opens the log. False and a
    // reason when any of them fails.
    bool open(QString* error);
    bool isOpen() const;
    QString slavePath() const;
    const StationOptions& options() const { return m_options; }
    std::uint32_t seed() const { return m_seed; }

    // Starts a run with the selected profile's stored values; false when one is going on.
    bool startRun();
    // Ends the run going on; false when there is none.
    bool stopRun();
    // Telemetry reports these readings (0..255) until releaseReadings(); the model runs on
    // underneath.
    void forceReadings(int top, int bottom);
    void releaseReadings();
    // Closes the pseudo-terminal and removes the link, as an unplugged adapter would.
    void hangUp();
    // Puts `count` stray bytes on the line now, between answers (noise, a reset).
    void sendNoise(int count);
    // Stops reading the line (the console's frames pile up in the terminal and no
    // answer goes out) until listen().
    void stopListening();
    void listen();
    bool isListening() const { return !m_deaf; }

    const ThermalModel& model() const { return m_model; }
    station::ProfileValues storedProfile(int slot) const;
    int selectedProfile() const { return m_selected; }
    double stationTime() const { return m_stationTime; }
    // One line for people: phase, profile, temperatures, line speed.
    QString describe() const;

signals:
    void frameReceived(sim::ReadKind kind, const QByteArray& bytes);
    void bytesSent(const QByteArray& chunk); // each piece as it is written to the pseudo-terminal
    void runStarted(int profile);
    void runEnded(bool completed); // false when stopped before its end
    void hungUp();

private:
    void onReadable();
    void onWritable();
    void handle(const ReadPiece& piece);
    void answerStatus();
    QByteArray telemetryFrame(std::uint8_t command);
    QByteArray garbageFrame();
    std::chrono::milliseconds lineTime(qsizetype answerBytes) const;
    void send(const QByteArray& bytes);
    void sendNextPiece();
    void writeOut(const QByteArray& bytes);
    void flushOutgoing();
    void updateModel();
    bool beginRun();
    void queueCommand(std::uint8_t command);
    bool makeLink(QString* error);
    void removeLink();

    StationOptions m_options;
    std::uint32_t m_seed = 0;
    std::mt19937 m_random;
    std::unique_ptr<PseudoTerminal> m_pty;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    bool m_linkMade = false;
    FrameLog m_log;
    FrameReader m_reader;

    ThermalModel m_model;
    std::array<station::ProfileValues, 10> m_profiles{};
    int m_selected = 0;   // from the last status frame
    int m_runProfile = 0; // the slot the run going on uses
    std::optional<std::pair<int, int>> m_forced;
    std::uint32_t m_framesMade = 0; // telemetry frames made, for countUp
    std::uint8_t m_command = 0;
    int m_commandRepeatsLeft = 0;

    double m_stationTime = 0.0; // seconds, scaled by speed
    qint64 m_lastUpdateMs = 0;
    bool m_sawStatus = false;
    bool m_deaf = false;
    std::optional<double> m_demoStartAt; // station time of the next demo run

    QByteArray m_outgoing;   // accepted for writing, not yet taken by the pseudo-terminal
    QByteArray m_splitQueue; // waiting to be cut into pieces
    QTimer m_modelTimer;
    QTimer m_splitTimer;
    QTimer m_hangupTimer;
    QTimer m_readRetryTimer;
};

} // namespace sim
