#include "lang/Translatable.h"

namespace vantrel {

namespace {

std::vector<tTranslatable> build() {
    std::vector<tTranslatable> texts;
    const auto add = [&](std::string_view section, std::string key) {
        texts.push_back({section, std::move(key)});
    };
    for (const char* menu :
         {"miFile", "miView", "miAnalysis", "miDevice", "miHelp", "miFileLanguage",
          "miRelativeTitle", "miLT", "miLP", "miLC", "miLE", "miV1", "miV2", "miV3", "tsSensors",
          "tsDepend", "lbState", "tbMain", "rbAbsciss"}) {
        add("TfmMain", std::string(menu) + ".Caption");
    }
    add("TfmMain", "miAnalysisAll.Caption");
    for (const char* action : {"acDeviceConnect",
                               "acDeviceStart",
                               "acDevicePause",
                               "acDeviceStop",
                               "acDeviceFreq",
                               "acDeviceSettings",
                               "acFileOpen",
                               "acFileClose",
                               "acFileOpenRun",
                               "acFileSetZeroMarker",
                               "acFileMarkPoint",
                               "acFileExport",
                               "acFileShowAll",
                               "acViewChooseCoord",
                               "acViewToolBar",
                               "acViewStatusBar",
                               "acHelpAbout",
                               "acFileExit",
                               "acAnalysisEquivalence",
                               "acAnalysisDerivative",
                               "acAnalysisStatistics",
                               "acAnalysisFitLinear",
                               "acAnalysisFitQuadratic",
                               "acAnalysisFitExponential",
                               "acAnalysisTangent",
                               "acAnalysisFitAllLinear",
                               "acAnalysisFitAllQuadratic",
                               "acAnalysisFitAllExponential",
                               "acAnalysisTangentAll",
                               "acAnalysisArea",
                               "acAnalysisFitsRemove",
                               "acFileSavePicture",
                               "acFileOpenReference",
                               "acFileCloseReference",
                               "acFileExportWorkbook",
                               "acFileReport",
                               "acFilePrint"}) {
        add("TfmMain", std::string(action) + ".Caption");
        add("TfmMain", std::string(action) + ".Hint");
    }
    add("TfmMain", "acFileExit.SecondaryShortCuts");
    for (int i = 1; i <= 7; ++i) {
        add("TfmMain", "Series" + std::to_string(i) + ".Title");
        add("TfmMain", "LineSeries" + std::to_string(i) + ".Title");
    }
    for (const char* key :
         {"chAll.LeftAxisTitle", "chDepend.LeftAxisTitle", "chSeries.Items", "rbAbsciss.Items",
          "vleData.Keys", "vleData.TitleCaptions", "sd.DefaultExt", "sd.Filter", "od.Filter"}) {
        add("TfmMain", key);
    }
    for (const char* key : {"fmAbout.Caption", "lbFileName.Caption", "lbVersion.Caption",
                            "lbCopyright.Caption", "btnOK.Caption"}) {
        add("TfmAbout", key);
    }
    for (const char* key : {"pnName.Caption", "lbId.Caption", "lbState.Caption", "edState.Hint"}) {
        add("TfrActuator", key);
    }
    return texts;
}

}  // namespace

const std::vector<tTranslatable>& translatableTexts() {
    static const std::vector<tTranslatable> texts = build();
    return texts;
}

}  // namespace vantrel
