#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charts/CurveFit.h"
#include "device/Readings.h"
#include "run/Selection.h"

namespace vantrel {

class tRunData;
struct tExportedRun;

// A run as columns of numbers in the units the value list and the export
// show (a relative reading as its difference): a run being recorded, or one
// read back from its export.
struct tRunColumns {
    std::vector<double> time;                                // seconds
    std::array<std::vector<double>, kQuantityCount> values;  // empty: not in the run

    static tRunColumns Of(const tRunData& run);
    static tRunColumns Of(const tExportedRun& run);
};

// One quantity against the time (abscissa -1) or against another quantity,
// over records first..last (both included, clamped to the run).
struct tXY {
    std::vector<double> x;
    std::vector<double> y;
};
tXY stretchXY(const tRunColumns& run, int quantity, int abscissa, std::size_t first,
              std::size_t last);
// The records whose time lies in [from, to]; none (first > last) when none does.
tIndexRange recordsBetween(const tRunColumns& run, double from, double to);

// "linear", "quadratic", "exponential".
std::string_view fitModelName(tFitModel model);
std::optional<tFitModel> fitModelOfName(std::string_view name);
// Why a fit could not be made, in fixed English (the recorder's output).
std::string_view fitFailureText(tFitStatus status);

// The recorder's lines: "fit\tLT\tlinear\ta=…\tb=…\tx0=…\tR2=…" with the
// parameters about x0 as the fit gives them, or "fit\tLT\tlinear\tnone\t
// REASON"; "area\tLT\tt\t…" (or the abscissa's code). Six significant
// digits (x0 as the abscissa is resolved), "." as the decimal separator.
std::string fitLine(int quantity, int abscissa, const tCurveFit& fit);
std::string areaLine(int quantity, int abscissa, double area);

// What the recorder is asked to evaluate: a fit of a quantity, or (no
// model) the area under it, against the time (abscissa -1) or a quantity.
struct tStretchRequest {
    int quantity = 0;
    int abscissa = -1;
    std::optional<tFitModel> model;
};
// Parses "Q,MODEL[,X]" (with a model) or "Q[,X]"; false with the reason.
bool parseStretchRequest(std::string_view text, bool withModel, tStretchRequest& request,
                         std::string& why);
// One line per request over the records timed from `from` to `to`.
std::vector<std::string> stretchLines(const tRunColumns& run,
                                      const std::vector<tStretchRequest>& requests, double from,
                                      double to);

// For the charts, in the current language with the captured decimal
// separator: the fit's equation with its parameters ± standard errors and
// R², the slope at a point per minute (time) or per abscissa unit, the area
// with its units. `abscissa` -1 is the time.
std::string fitCaption(int quantity, int abscissa, const tCurveFit& fit);
std::string slopeCaption(int quantity, int abscissa, double slopePerUnit);
std::string areaCaption(int quantity, int abscissa, double area);

}  // namespace vantrel
