#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "charts/ChartSink.h"
#include "device/Packet.h"
#include "session/Action.h"
#include "session/Actuators.h"
#include "session/MainView.h"
#include "session/RecordMatcher.h"

namespace vantrel {

class tSettings;
class tDevice;
class tExperiment;
class tState;
class tChartModel;
class tStationFinder;

// File-chooser filters ("text|mask|text|mask").
inline constexpr std::string_view kScenarioFilter =
    "Файлы экспериментов (*.exp)|*.exp|Все файлы (*.*)|*.*";
inline constexpr std::string_view kExportFilter = "CSV-файлы (*.csv)|*.csv|Все файлы (*.*)|*.*";
inline constexpr std::string_view kExportExtension = "csv";

// The main window's controller: owns the settings, the link to the station,
// the experiment, the actuator table and the chart model; decides for every
// action whether it is enabled; runs the clock and the acquisition tick.
// Free of any toolkit: the window forwards its events here and renders what
// it is told through iMainView. Everything runs on the user-interface thread.
class TfmMain {
public:
    // Loads the configuration from `configFileName` (the program's path with
    // ".cfg"); a missing file raises the settings store's error. With
    // `chartSink` the readings go there instead of the owned chart model.
    TfmMain(iMainView& view, const std::string& configFileName, iChartSink* chartSink = nullptr);
    TfmMain(const TfmMain&) = delete;
    TfmMain& operator=(const TfmMain&) = delete;
    ~TfmMain();

    // Once the window exists: the user-interface language (built-in Russian).
    void FormCreate();

    // ---- actions
    const std::vector<std::unique_ptr<tAction>>& Actions() const { return actions_; }
    tAction* FindAction(std::string_view name) const;
    // Runs every update rule, then tells the view.
    void UpdateActions();
    // Runs the rule, then executes when enabled. False when unknown or disabled.
    bool ExecuteAction(std::string_view name);

    // ---- timers
    void tmTimeTimer();   // 300 ms clock and switch-off countdown
    void tmStartTimer();  // 100 ms acquisition tick

    // ---- closing
    // Asks for confirmation unless closing is already refused or the system
    // is ending the session. True: the window may close.
    bool FormCloseQuery(bool canClose = true);
    void FormClose();
    // The system asks whether it may end the session: always yes, and the
    // next close asks no question.
    bool QueryEndSession();
    // The session ends (`ending`: close now) or the end was cancelled.
    void EndSession(bool ending);

    // ---- connection
    void connect();
    void disconnect();

    // ---- actuators
    void queryActuatorState();
    void refreshActuatorPanel();
    void btnSetClick(int frameIndex);
    void btnClearClick(int frameIndex);

    // ---- readings and acquisition
    // Decodes one packet (complete lines). An error of the running scenario
    // does not stop the decoding: the rest is decoded and plotted, then the
    // first such error is raised as tError.
    void decodePacket(const std::uint8_t* buffer, std::size_t count);
    void decodePacket(std::string_view bytes);
    void setPeriod(int milliseconds);
    // Sends a state's actions and shows its name (nothing without a state or link).
    void ApplyState(const tState* state);

    // ---- chart handlers the window forwards
    void chSeriesClickCheck(int index, bool checked);
    void rbAbscissClick(int index);
    void chAccGyroClick(double time);
    void RelativeItemToggled(int index, bool checked);

    // ---- state, for the window and for tests
    bool IsConnected() const { return device_ != nullptr; }
    bool IsMeasuring() const;
    bool IsPaused() const;
    bool IsPolling() const;
    // Connect is searching for the station (every other action disabled).
    bool IsConnecting() const { return connecting_; }
    // The charts hold the points of a run that has ended: they can be
    // inspected, marked and exported without a station.
    bool HasFinishedRun() const;
    tDevice* Device() const { return device_.get(); }
    tSettings& Settings() const { return *settings_; }
    tExperiment& Experiment() const { return *experiment_; }
    tChartModel& Charts() const { return *charts_; }
    tActuatorTable& Actuators() { return actuators_; }
    const tActuatorTable& Actuators() const { return actuators_; }
    int DigitisePeriod() const { return digitisePeriod_; }
    double VolumeCoefficient() const { return volumeCoefficient_; }
    int SwitchOffArmed() const { return switchOffArmed_; }
    int SwitchOffElapsed() const { return switchOffElapsed_; }

private:
    void buildActions();
    tAction& action(std::string_view name) const;
    void readVolumeCoefficient();
    void buildActuatorPanel();

    // action handlers
    void acDeviceConnectExecute();
    void acDeviceStartExecute();
    void acDevicePauseExecute(tAction& a);
    void acDeviceStopExecute();
    void acDeviceFreqExecute();
    void acFileOpenExecute();
    void acFileCloseExecute();
    void acFileMarkPointExecute();
    void acFileExportExecute();
    void acFileShowAllExecute();

    enum class tRunEnd { Stop, Disconnect, LinkLost };
    void endRun(tRunEnd how);
    // `step`: a running scenario sees the readings and may change state.
    void decodeLines(std::string_view text, std::exception_ptr& firstError, bool step);
    void decodeQueue(tPacketQueue& queue, std::exception_ptr& firstError, bool step);
    // The station's time in seconds on the run's time axis.
    float runTime(float stationSeconds);
    void switchOffActuators();
    void handleLinkLost();
    void switchOffStep();
    void armSwitchOff();
    void disarmSwitchOff();
    iChartSink& chartSink() const;

    iMainView& view_;
    std::unique_ptr<tSettings> settings_;
    std::unique_ptr<tExperiment> experiment_;
    std::unique_ptr<tChartModel> charts_;
    iChartSink* chartSinkOverride_ = nullptr;
    std::unique_ptr<tDevice> device_;
    // Set by the measurement thread when the port is gone; the tick acts on it.
    std::shared_ptr<std::atomic<bool>> linkLost_;
    std::int32_t switchOffArmed_ = -1;
    std::int32_t switchOffElapsed_ = -1;
    std::int32_t digitisePeriod_ = 200;
    // Added to the station's times after its clock went back (a restart).
    double timeOffset_ = 0;
    double newestTime_ = -1;                  // newest time of the run so far, -1 before the first
    std::unique_ptr<tStationFinder> finder_;  // while connecting
    bool connecting_ = false;
    bool closeAfterConnect_ = false;
    double volumeCoefficient_ = 0;
    tActuatorTable actuators_;
    // What each frame shows; a frame is told again only when its actuator's
    // reported state or value differs from what it already shows.
    struct tFrameShown {
        bool valid = false;
        std::int32_t state = 0;
        std::int32_t speed = 0;
    };
    std::array<tActuatorFrameText, kActuatorCount> frames_;
    std::array<tFrameShown, kActuatorCount> frameShown_;
    int actuatorPanelVisible_ = -1;  // -1 not told yet, else 0 or 1
    std::vector<std::unique_ptr<tAction>> actions_;
    bool closeQueryAttached_ = true;

    const tRecordMatcher recordMatcher_;
};

}  // namespace vantrel
