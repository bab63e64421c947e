#include "class/ClassResults.h"

#include <cmath>
#include <cstdio>

namespace vantrel {

namespace {

constexpr double kOutlierSds = 2.0;

std::string number(double value, char decimal) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6g", value);
    std::string out = text;
    for (char& c : out) {
        if (c == '.') {
            c = decimal;
        }
    }
    return out;
}

}  // namespace

tClassResults tClassResults::From(const tClassRoster& roster) {
    std::vector<tRow> rows;
    for (const tStationCard& card : roster.Cards()) {
        if (!card.result) {
            continue;
        }
        const classlink::tResult& result = *card.result;
        tRow row;
        row.station = card.name;
        row.experiment = result.experiment;
        row.values[Duration] = result.duration;
        row.values[Records] = static_cast<double>(result.records);
        row.values[Volume] = result.volume;
        row.values[PH] = result.pH;
        if (result.fit) {
            const classlink::tFitResult& fit = *result.fit;
            row.fit = fit.model + " " + fit.quantity + "(" + fit.abscissa + ")";
            row.values[FitA] = fit.parameters[0];
            row.values[FitB] = fit.parameters[1];
            if (fit.model != "linear") {
                row.values[FitC] = fit.parameters[2];
            }
            row.values[FitR2] = fit.rSquared;
        }
        rows.push_back(std::move(row));
    }
    return From(std::move(rows));
}

tClassResults tClassResults::From(std::vector<tRow> rows) {
    tClassResults results;
    results.rows = std::move(rows);
    for (int c = 0; c < kColumns; ++c) {
        tSummary& s = results.summary[c];
        double sum = 0;
        for (const tRow& row : results.rows) {
            if (row.values[c]) {
                sum += *row.values[c];
                ++s.count;
            }
        }
        if (s.count == 0) {
            continue;
        }
        s.mean = sum / s.count;
        double squares = 0;
        for (const tRow& row : results.rows) {
            if (row.values[c]) {
                squares += (*row.values[c] - s.mean) * (*row.values[c] - s.mean);
            }
        }
        s.sd = s.count > 1 ? std::sqrt(squares / (s.count - 1)) : 0;
        for (tRow& row : results.rows) {
            if (row.values[c]) {
                const double deviation = *row.values[c] - s.mean;
                row.deviations[c] = deviation;
                row.outlier[c] = s.sd > 0 && std::abs(deviation) > kOutlierSds * s.sd;
            }
        }
    }
    return results;
}

std::string tClassResults::Text(const std::vector<std::string>& titles,
                                const std::string& meanTitle, const std::string& sdTitle,
                                char decimal) const {
    std::string text;
    for (std::size_t k = 0; k < titles.size(); ++k) {
        text += (k == 0 ? "" : "\t") + titles[k];
    }
    text += '\n';
    for (const tRow& row : rows) {
        text += row.station + '\t' + row.experiment + '\t' + row.fit;
        for (int c = 0; c < kColumns; ++c) {
            text += '\t';
            if (row.values[c]) {
                text += number(*row.values[c], decimal);
            }
        }
        text += '\n';
    }
    for (const bool mean : {true, false}) {
        text += (mean ? meanTitle : sdTitle) + "\t\t";
        for (int c = 0; c < kColumns; ++c) {
            text += '\t';
            if (summary[c].count > 0) {
                text += number(mean ? summary[c].mean : summary[c].sd, decimal);
            }
        }
        text += '\n';
    }
    return text;
}

}  // namespace vantrel
