#include "charts/StretchFit.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/Functions.h"
#include "base/Locale.h"
#include "base/Texts.h"
#include "run/ExportReader.h"
#include "run/Quantities.h"
#include "run/RunData.h"

namespace vantrel {

namespace {

// "%.Ng" without the C locale's say in the decimal separator.
std::string significant(double value, int digits, char separator = '.') {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general, digits);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    std::replace(text.begin(), text.end(), '.', separator);
    return text;
}

std::string shown(double value, int digits = 4) {
    return significant(value, digits, localeFacts().decimalSeparator);
}

std::string_view codeOf(int abscissa) {
    return abscissa < 0 ? std::string_view("t")
                        : kQuantityCodes[static_cast<std::size_t>(abscissa)];
}

// The abscissa's unit: seconds for the time.
std::string xUnit(int abscissa) {
    return abscissa < 0 ? constantText("DK_FIT_SECONDS") : unitOf(abscissa);
}

// x0 as the export writes the abscissa (the time to the millisecond, a
// quantity as the value list shows it), without the zeros that follow.
std::string originText(int abscissa, double origin, char separator) {
    const int decimals =
        abscissa < 0 ? 3 : quantityInfo[static_cast<std::size_t>(abscissa)].decimals;
    std::string text = formatFixed(origin, decimals, separator);
    const std::size_t dot = text.find(separator);
    if (dot != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == separator) {
            text.pop_back();
        }
    }
    return text == "-0" ? "0" : text;
}

// "t", "(t − 12345.6)" or "(V1 + 0.5)": what the equations raise and multiply.
std::string shiftedX(std::string_view x, const std::string& origin) {
    if (origin == "0") {
        return std::string(x);
    }
    return origin.front() == '-' ? "(" + std::string(x) + " + " + origin.substr(1) + ")"
                                 : "(" + std::string(x) + " − " + origin + ")";
}

std::string perUnit(const std::string& unit, const std::string& per) {
    if (unit.empty()) {
        return per.empty() ? std::string() : "1/" + per;
    }
    return per.empty() ? unit : unit + "/" + per;
}

}  // namespace

tRunColumns tRunColumns::Of(const tRunData& run) {
    tRunColumns columns;
    const std::size_t n = run.Count();
    columns.time.reserve(n);
    for (std::size_t p = 0; p < n; ++p) {
        columns.time.push_back(run.Time(p));
    }
    for (int i = 0; i < kQuantityCount; ++i) {
        std::vector<double>& values = columns.values[static_cast<std::size_t>(i)];
        values.reserve(n);
        for (std::size_t p = 0; p < n; ++p) {
            values.push_back(run.Shown(i, p));
        }
    }
    return columns;
}

tRunColumns tRunColumns::Of(const tExportedRun& run) {
    tRunColumns columns;
    for (const tExportRow& row : run.rows) {
        columns.time.push_back(row.time);
    }
    for (const int i : run.quantities) {
        std::vector<double>& values = columns.values[static_cast<std::size_t>(i)];
        for (const tExportRow& row : run.rows) {
            values.push_back(row.readings[static_cast<std::size_t>(i)]);
        }
    }
    return columns;
}

tXY stretchXY(const tRunColumns& run, int quantity, int abscissa, std::size_t first,
              std::size_t last) {
    tXY xy;
    const std::vector<double>& y = run.values[static_cast<std::size_t>(quantity)];
    const std::vector<double>& x =
        abscissa < 0 ? run.time : run.values[static_cast<std::size_t>(abscissa)];
    const std::size_t n = std::min(x.size(), y.size());
    if (n == 0 || first >= n) {
        return xy;
    }
    last = std::min(last, n - 1);
    for (std::size_t p = first; p <= last; ++p) {
        xy.x.push_back(x[p]);
        xy.y.push_back(y[p]);
    }
    return xy;
}

tIndexRange recordsBetween(const tRunColumns& run, double from, double to) {
    tIndexRange range;
    bool any = false;
    for (std::size_t p = 0; p < run.time.size(); ++p) {
        if (run.time[p] >= from && run.time[p] <= to) {
            range.first = any ? range.first : p;
            range.last = p;
            any = true;
        }
    }
    return range;
}

std::string_view fitModelName(tFitModel model) {
    switch (model) {
        case tFitModel::Linear:
            return "linear";
        case tFitModel::Quadratic:
            return "quadratic";
        case tFitModel::Exponential:
            return "exponential";
    }
    return "";
}

std::optional<tFitModel> fitModelOfName(std::string_view name) {
    for (tFitModel model : {tFitModel::Linear, tFitModel::Quadratic, tFitModel::Exponential}) {
        if (equalsIgnoreCase(name, fitModelName(model))) {
            return model;
        }
    }
    return std::nullopt;
}

std::string_view fitFailureText(tFitStatus status) {
    switch (status) {
        case tFitStatus::Ok:
            return "";
        case tFitStatus::TooFewPoints:
            return "too few points";
        case tFitStatus::Singular:
            return "singular system";
        case tFitStatus::NoConvergence:
            return "no convergence";
        case tFitStatus::NotFinite:
            return "values out of range";
        case tFitStatus::NoChange:
            return "no change to fit";
    }
    return "";
}

std::string fitLine(int quantity, int abscissa, const tCurveFit& fit) {
    std::string line = "fit\t";
    line += kQuantityCodes[static_cast<std::size_t>(quantity)];
    line += '\t';
    line += fitModelName(fit.model);
    if (!fit.ok()) {
        return line + "\tnone\t" + std::string(fitFailureText(fit.status));
    }
    const char* names[] = {"a=", "b=", "c="};
    for (std::size_t k = 0; k < parameterCount(fit.model); ++k) {
        line += '\t';
        line += names[k];
        line += significant(fit.parameters[k], 6);
    }
    return line + "\tx0=" + originText(abscissa, fit.origin, '.') +
           "\tR2=" + significant(fit.rSquared, 6);
}

std::string areaLine(int quantity, int abscissa, double area) {
    std::string line = "area\t";
    line += kQuantityCodes[static_cast<std::size_t>(quantity)];
    line += '\t';
    line += codeOf(abscissa);
    return line + '\t' + significant(area, 6);
}

bool parseStretchRequest(std::string_view text, bool withModel, tStretchRequest& request,
                         std::string& why) {
    std::vector<std::string_view> parts;
    for (std::size_t pos = 0;;) {
        const std::size_t comma = text.find(',', pos);
        parts.push_back(text.substr(pos, comma == std::string_view::npos ? comma : comma - pos));
        if (comma == std::string_view::npos) {
            break;
        }
        pos = comma + 1;
    }
    const std::size_t needed = withModel ? 2 : 1;
    if (parts.size() < needed || parts.size() > needed + 1) {
        why = withModel ? "expected Q,MODEL[,X]" : "expected Q[,X]";
        return false;
    }
    request = {};
    request.quantity = quantityOfCode(parts[0]);
    if (request.quantity < 0) {
        why = "'" + std::string(parts[0]) + "' is no quantity (LT, LP, LC, LE, V1, V2, V3)";
        return false;
    }
    if (withModel) {
        request.model = fitModelOfName(parts[1]);
        if (!request.model) {
            why = "'" + std::string(parts[1]) + "' is no model (linear, quadratic, exponential)";
            return false;
        }
    }
    if (parts.size() == needed + 1) {
        request.abscissa = quantityOfCode(parts[needed]);
        if (request.abscissa < 0 || request.abscissa == request.quantity) {
            why = "'" + std::string(parts[needed]) + "' is no other quantity to plot against";
            return false;
        }
    }
    return true;
}

std::vector<std::string> stretchLines(const tRunColumns& run,
                                      const std::vector<tStretchRequest>& requests, double from,
                                      double to) {
    std::vector<std::string> lines;
    const tIndexRange range = recordsBetween(run, from, to);
    for (const tStretchRequest& request : requests) {
        const bool present = !run.values[static_cast<std::size_t>(request.quantity)].empty() &&
                             (request.abscissa < 0 ||
                              !run.values[static_cast<std::size_t>(request.abscissa)].empty());
        const tXY xy =
            present && range.first <= range.last
                ? stretchXY(run, request.quantity, request.abscissa, range.first, range.last)
                : tXY{};
        if (request.model) {
            tCurveFit fit = fitCurve(*request.model, xy.x, xy.y);
            fit.model = *request.model;
            lines.push_back(
                present
                    ? fitLine(request.quantity, request.abscissa, fit)
                    : "fit\t" +
                          std::string(kQuantityCodes[static_cast<std::size_t>(request.quantity)]) +
                          "\t" + std::string(fitModelName(*request.model)) +
                          "\tnone\tno such column");
        } else {
            std::string line = areaLine(request.quantity, request.abscissa, areaUnder(xy.x, xy.y));
            if (!present) {
                line = line.substr(0, line.rfind('\t')) + "\tnone\tno such column";
            }
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

std::string fitCaption(int quantity, int abscissa, const tCurveFit& fit) {
    const std::string name = quantityNames[static_cast<std::size_t>(quantity)];
    if (fit.status == tFitStatus::NoChange) {
        return formatText(constantText("DK_FIT_NO_CHANGE"), {name});
    }
    if (!fit.ok()) {
        return formatText(constantText("DK_FIT_NONE"), {name});
    }
    const std::string x = shiftedX(
        codeOf(abscissa), originText(abscissa, fit.origin, localeFacts().decimalSeparator));
    const std::string yUnit = unitOf(quantity);
    const std::string unitX = xUnit(abscissa);
    const auto& p = fit.parameters;
    const auto& e = fit.standardErrors;
    auto term = [](const char* symbol, double value, double error, const std::string& unit) {
        // An error is known to a digit or two; more only make the line long.
        return std::string(symbol) + " = " + shown(value) + " ± " + shown(error, 2) +
               (unit.empty() ? "" : " " + unit);
    };
    std::string equation;
    std::string terms;
    switch (fit.model) {
        case tFitModel::Linear:
            equation = "y = a + b·" + x;
            terms =
                term("a", p[0], e[0], yUnit) + "; " + term("b", p[1], e[1], perUnit(yUnit, unitX));
            break;
        case tFitModel::Quadratic:
            equation = "y = a + b·" + x + " + c·" + x + "²";
            terms = term("a", p[0], e[0], yUnit) + "; " +
                    term("b", p[1], e[1], perUnit(yUnit, unitX)) + "; " +
                    term("c", p[2], e[2], perUnit(yUnit, unitX + "²"));
            break;
        case tFitModel::Exponential:
            equation = "y = a + b·e^(c·" + x + ")";
            terms = term("a", p[0], e[0], yUnit) + "; " + term("b", p[1], e[1], yUnit) + "; " +
                    term("c", p[2], e[2], perUnit("", unitX));
            break;
    }
    return formatText(constantText("DK_FIT_CAPTION"), {name, equation, shown(fit.rSquared), terms});
}

std::string slopeCaption(int quantity, int abscissa, double slopePerUnit) {
    const std::string yUnit = unitOf(quantity);
    // On the time chart per minute, as the statistics give rates.
    const double value = abscissa < 0 ? slopePerUnit * 60.0 : slopePerUnit;
    const std::string per = abscissa < 0 ? constantText("DK_FIT_MINUTES") : unitOf(abscissa);
    return formatText(constantText("DK_SLOPE_CAPTION"),
                      {quantityNames[static_cast<std::size_t>(quantity)],
                       std::string(codeOf(abscissa)), shown(value), perUnit(yUnit, per)});
}

std::string areaCaption(int quantity, int abscissa, double area) {
    const std::string yUnit = unitOf(quantity);
    const std::string unitX = xUnit(abscissa);
    const std::string unit = yUnit.empty() ? unitX : yUnit + "·" + unitX;
    return formatText(constantText("DK_AREA_CAPTION"),
                      {quantityNames[static_cast<std::size_t>(quantity)],
                       std::string(codeOf(abscissa)), shown(area), unit});
}

}  // namespace vantrel
