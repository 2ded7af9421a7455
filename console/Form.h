// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the operator's console with its state, commands, link and layout.
#pragma once

#include "link/PortUnit.h"
#include "link/StationMonitor.h"
#include "record/ReferenceRun.h"
#include "record/RunReport.h"

#include <QMainWindow>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QComboBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QLineSeries;
class QMenu;
class QPoint;
class QPushButton;
class QTimer;

namespace config {
class SettingsFile;
}

namespace console {
class RunChart;
enum class RecordOption;
} // namespace console

namespace record {
class RunJournal;
class RunRecord;
} // namespace record

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The dialogs the menu and Button2 open; they are created after the main window.
    void setDialogs(QDialog* form2, QDialog* form3, QDialog* form4, QDialog* form6);

    // Start-up initialisation; runs by itself once, on the window's first activation.
    void FormCreate();
    // Loads the selected profile and the station-wide values into the display and the state.
    void ReadProfil();
    // The same through an accessor already open: a dialog's, after its save, so
    // that a large file is not read again.
    void ReadProfil(const config::SettingsFile& ini);
    // Firmware-variant display: QMR hides the station-settings strip and allows connecting.
    void InVisibleSettingPID();
    void VisibleSettingPID();
    // Run state: refused with a message while there is no link.
    void Start();
    void Stop();
    // The link: Connect toggles, PortInit opens, KillComm closes (the one close path).
    void Connect();
    void PortInit();
    void KillComm();

    // What the dialogs change on the main window without reaching into its widgets.
    void SetFirmwareCaption(const QString& text);                        // Label36
    void SetProfileStripVisible(bool visible);                           // Panel4
    void SetConnectionLabels(const QString& port, const QString& speed); // Label1, Label2

    // The run clock's tick: every second of the run that has ended since the last
    // tick, each one sample per series (the answer read in it, or a gap) and one
    // clock step. Public so the clock can be stepped without waiting.
    void Timer1Timer();

    // The time the run clock and the poll go by: a monotonic clock in
    // milliseconds, and the length of one tick, which is one second of the run
    // clock and the poll's period (1000 ms; the console never changes it). A
    // test sets either to step the console without waiting.
    using Clock = std::function<std::chrono::milliseconds()>;
    void setTickPeriod(std::chrono::milliseconds period);
    void setClock(Clock clock);
    // Every second of the run since the last reset, as the chart plots them.
    const record::RunRecord& runRecord() const;

    // Keeping the run's record, the two commands of the chart's context menu once
    // a file is chosen: the whole run as a PNG picture, the samples as CSV. The
    // file is written whole or not at all; a refused write shows the error box.
    // False when nothing was written.
    bool saveChartTo(const QString& path);
    bool exportCsvTo(const QString& path);
    // The run's one-page PDF report (the run going on, else the last finished
    // one); false when there is none or it could not be written (the error box).
    bool saveReportTo(const QString& path);
    // The reference run, the two commands of the chart's menu once a file is
    // chosen: laid under the curves and kept as the Reference key, only once it
    // has loaded and the key is written (else the error box, and nothing
    // changes); dropped, and the key emptied. False when nothing changed.
    bool chooseReference(const QString& path);
    bool dropReference();
    // How a kept reference is loaded at start, off the window's thread (a test
    // puts a stand-in here before the window's first activation).
    void setReferenceLoader(record::ReferenceLoader loader) {
        m_referenceLoader = std::move(loader);
    }
    // The run journal, which writes each run to the runs folder while on.
    record::RunJournal& runJournal() const { return *m_journal; }

    // Console state.
    std::int32_t StatusConnect = 0;
    std::int32_t StatusQMR = 0;
    QString NumberProfil;
    std::uint8_t NumberProfilTx = 0;
    std::uint8_t SoldDesold = 0;
    std::int32_t StatusFan = 0;
    std::int32_t FanActiv = 0;
    std::int32_t EnableFan = 0;
    std::int32_t TempEnableFan = 0;
    std::int32_t AutoStart = 0;
    std::int32_t CorrectTB = 0;
    std::int32_t CorrectTH = 0;

    // The raw top and bottom temperatures of the last telemetry read, 0..255.
    std::int32_t RXVerh = 0;
    std::int32_t RXNiz = 0;

    // Run clock and chart state.
    std::int32_t TGrafikX = 0;
    std::int32_t TGrafikX1 = 0;
    std::int32_t TGrafikY = 0;
    std::int32_t TSecundes = 0;
    std::int32_t TMinutes = 0;
    std::int32_t THours = 0;
    QString TSecundesL;
    QString TMinutesL;
    QString THoursL;

    // The port as last taken from the settings by PortInit.
    QString NumberPort;
    std::uint32_t BaudRate = 0;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Handlers of the window's controls.
    void ComboBox1Change();
    void ButtonConnectClick();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void ButtonStartClick();
    void ButtonStopClick();
    void SendProfil();
    void Timer2Timer();
    void N2Click();
    void N3Click();
    void N4Click();
    void N6Click();

    // The poll exchange: the status frame out, the telemetry in. A read on the
    // poll's tick counts towards the station's silence; the transfer's does not.
    void SendPostToStation();
    void SendInformationsQMR();
    void ReadInformations(bool pollTick);
    void showStation();

    // The run clock: what the monitor says each ended second records.
    std::chrono::milliseconds now() const { return m_clock(); }
    void recordSeconds(const std::vector<record::RunSecond>& seconds);

    void showRunClock();
    void PortLost(const station::PortFailure& failure);
    void showModal(QDialog* dialog);
    void setWorks(const QString& caption, const QColor& colour);
    void showPort(const QString& port);
    void setPidStripVisible(bool visible);
    void keepOuterSizeAtLeastMinimum();

    // The chart's context menu and its save dialog.
    void showChartMenu(const QPoint& position);
    void saveChartClicked();
    void exportDataClicked();
    void runLimitsClicked();
    void chooseReferenceClicked();
    void dropReferenceClicked();
    void loadKeptReference(const QString& path);
    QString chooseExportPath(const QString& caption, const QString& extension,
                             const QString& filter, const QString& suggested = {});
    void saveReportClicked();
    void journalFileClosed(quint64 file, const QString& path);
    bool writeReport(const QString& path, const record::RunReport& report);
    // The last finished run's report, or the run so far while one goes on.
    std::optional<record::RunReport> reportToSave() const;
    // The two switches of the chart's menu, kept in the settings file.
    void autoSaveTriggered(bool on);
    void targetsTriggered(bool on);
    bool keepRecordOption(console::RecordOption option, QAction* mark, bool on);
    void readRecordOptions(const config::SettingsFile& ini);
    void journalFailed(const QString& path, const QString& reason);
    void beginRun();
    void finishRun();
    record::RunProfile shownProfile() const;
    void buildJournal();

    void buildMenu();
    void buildPanel2();
    void buildPanel4();
    void buildPanel3();
    void buildChart();
    void buildChartMenu();
    void buildPanel1();
    void buildTimers();
    void bindHandlers();

    // Bands, top to bottom.
    QFrame* Panel2 = nullptr;
    QFrame* Panel4 = nullptr;
    QFrame* Panel3 = nullptr;
    console::RunChart* Chart1 = nullptr;
    QFrame* Panel1 = nullptr;

    QLineSeries* Series1 = nullptr;
    QLineSeries* Series2 = nullptr;

    // Panel2.
    QLabel* Label3 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* Works = nullptr;
    QLabel* FTimer = nullptr;
    QPushButton* TimerToZero = nullptr;
    QLineEdit* EditTemperatureUP = nullptr;
    QLineEdit* EditTemperatureDown = nullptr;
    QLabel* INTemperatureUP = nullptr;
    QLabel* INTemperatureDown = nullptr;
    QLabel* FormTextUp = nullptr;
    QLabel* FormTextDown = nullptr;

    // Panel4: profile name and values.
    QLabel* Label37 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;

    // Panel3: station-wide values, and every label the firmware switch hides, in its order.
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label21 = nullptr;
    QLabel* Label22 = nullptr;
    QLabel* Label23 = nullptr;
    QLabel* Label34 = nullptr;
    QLabel* Label35 = nullptr;
    QList<QLabel*> m_pidLabels;

    // Panel1.
    QPushButton* ButtonConnect = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* ButtonStart = nullptr;
    QPushButton* ButtonStop = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* TextLinks = nullptr;
    QLabel* Label36 = nullptr;

    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N6 = nullptr;
    QAction* N2 = nullptr;

    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;

    station::PortUnit m_port;
    // Every decision about the station's answers and the run's seconds.
    station::StationMonitor m_monitor;
    std::chrono::milliseconds m_tickPeriod{1000};
    Clock m_clock = record::monotonicNow;

    QDialog* m_form2 = nullptr;
    QDialog* m_form3 = nullptr;
    QDialog* m_form4 = nullptr;
    QDialog* m_form6 = nullptr;

    bool m_formCreated = false;
    bool m_centred = false;

    QMenu* m_chartMenu = nullptr;
    QAction* m_saveChart = nullptr;
    QAction* m_exportData = nullptr;
    QAction* m_autoSave = nullptr;
    QAction* m_showTargets = nullptr;
    QAction* m_runLimits = nullptr;
    QAction* m_saveReport = nullptr;
    QAction* m_chooseReference = nullptr;
    QAction* m_dropReference = nullptr;
    // The kept Reference key as last read or written, and which load of it the
    // window waits for (a later choice makes an earlier load's result stale).
    QString m_referencePath;
    quint64 m_referenceLoad = 0;
    record::ReferenceLoader m_referenceLoader = record::loadReferenceRun;
    // The last finished run's report, and the reports waiting for their run's
    // journal file to be on the disk, by file.
    std::optional<record::RunReport> m_lastReport;
    record::DueReports m_reportsDue;
    record::RunJournal* m_journal = nullptr;
    // Where the last export went; the save dialog opens there next time.
    QString m_exportFolder;
};
