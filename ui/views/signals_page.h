#pragma once

#include "gps/gps_state.h"
#include "ui/framework/list_page.h"

#include <string>
#include <vector>

namespace veltaro {

// One satellite on one signal, as the "Signals" page lists it.
struct SignalRow {
    char system;         // G R E C J I S
    std::int32_t prn;    // the number within its system
    std::int32_t signal; // the NMEA 4.10 signal ID, -1 where none was sent
    std::int32_t snr;    // C/N0 in dB-Hz, 0 while not tracked
    std::int32_t elevation;
    std::int32_t azimuth;
    bool used;         // listed in its system's latest GSA
    bool labelsSystem; // labelled with its system's letter, as the views do while every system is read

    bool operator==(const SignalRow&) const = default;
};

// The rows of a state: every system's signals while every system is read, else the GPS cycle the views show.
std::vector<SignalRow> signalRows(const GpsState& state);
// The name of a signal ID in its system: "L1 C/A", "E5b", "B2I"; the number where it has none, "L1" for none.
std::string signalName(char system, std::int32_t signal);
// "41 satellites, 76 signals, 20 used; strongest 4: 46 dB-Hz on average".
std::string signalSummary(const std::vector<SignalRow>& rows, const GpsState& state);

// "Signals": every satellite on every signal from the latest GSV cycles, sorted as the user clicks the headers.
class SignalsPage : public ListPage {
public:
    SignalsPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi);

    // Sorts by a column; the same column again reverses the order.
    void sortBy(int column);

    std::vector<SignalRow> rows; // as shown

protected:
    std::string cellText(int row, int column) override;
    void update() override;
    LRESULT onListNotify(const NMHDR* header) override;

private:
    void sortRows(std::vector<SignalRow>& table) const;

    int sortColumn = -1; // -1: by system, number and signal
    bool descending = false;
};

} // namespace veltaro
