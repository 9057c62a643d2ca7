#include "boardtester/Diagnosis.h"

namespace relmora {

namespace {

constexpr int AdviceEntry = 15;

// A line is defective when its count is above half of its relevant tests.
struct DefectRule {
    int Above;
    int RelevantTests;
};
constexpr DefectRule InputVccRule{12, 24};
constexpr DefectRule InputGndRule{156, 312};
constexpr DefectRule OutputVccRule{6, 13};
constexpr DefectRule OutputGndRule{78, 169};

bool Defective(int32_t count, DefectRule rule) {
    return count > rule.Above;
}

std::string DefectLine(const std::string& what, const char* state, int32_t count, DefectRule rule) {
    return what + " is defective (" + state + " on " +
           std::to_string(static_cast<int64_t>(count) * 100 / rule.RelevantTests) +
           "% of relevant tests)";
}

} // namespace

std::vector<std::string> Diagnose(const MeasureTable& measures, AnomalyFields& f) {
    f = AnomalyFields{};
    f.InputPersistent.fill(1);
    f.OutputPersistent.fill(1);
    f.InputLinePersistent.fill(1);
    int anomalousConfigurations = 0;

    // Pass 1: every line of every test of every configuration.
    for (int in = 0; in < InputCount; ++in) {
        for (int out = 0; out < OutputCount; ++out) {
            bool anomalous = false;
            for (int t = 0; t < TestCount; ++t) {
                for (const GridSquare& square : GridSquares) {
                    const auto colour = CellColor(measures, in, out, t, square.Byte, square.Bit);
                    if (!IsAnomaly(colour)) continue;
                    const Line line = LineAt(square.Byte, square.Bit);
                    if (line.Kind == LineKind::Input)
                        f.ConfigInputLineAnomaly[in][out][line.Number] = 1;
                    else
                        f.ConfigAnomaly[in][out] = 1;
                    f.NoAnomaly = 0;
                    anomalous = true;
                    if (line.Kind != LineKind::Output || line.Number != out) continue;
                    // The configuration's own output: a Vcc fault in the test that grounds its
                    // input, a Gnd fault wherever it should be at Vcc.
                    if (colour == platform::clRed && t == in) {
                        ++f.OutputVccCount[out];
                        ++f.InputVccCount[in];
                    } else if (colour == platform::clBlack) {
                        ++f.OutputGndCount[out];
                        ++f.InputGndCount[in];
                    }
                }
            }
            if (anomalous) ++anomalousConfigurations;
        }
    }

    // Pass 2: a line with one clean configuration is not persistently wrong.
    for (int in = 0; in < InputCount; ++in)
        for (int out = 0; out < OutputCount; ++out)
            if (f.ConfigAnomaly[in][out] == 0) f.OutputPersistent[out] = f.InputPersistent[in] = 0;

    // Passes 3 and 4: input lines wrong everywhere, then configurations with an input line
    // wrong that is not.
    for (int i = 0; i < InputCount; ++i)
        for (int in = 0; in < InputCount; ++in)
            for (int out = 0; out < OutputCount; ++out)
                if (f.ConfigInputLineAnomaly[in][out][i] == 0) f.InputLinePersistent[i] = 0;
    for (int in = 0; in < InputCount; ++in)
        for (int out = 0; out < OutputCount; ++out)
            for (int i = 0; i < InputCount; ++i)
                if (f.InputLinePersistent[i] == 0 && f.ConfigInputLineAnomaly[in][out][i] != 0)
                    f.ConfigInputLineAnomaly[in][out][AdviceEntry] = 1;

    std::vector<std::string> lines{""};
    if (f.NoAnomaly != 0) {
        lines.push_back("No anomaly detected");
        return lines;
    }
    lines.push_back("Anomalies detected :");
    bool punctual = false;
    if (anomalousConfigurations == ConfigurationCount) {
        lines.push_back("Anomalies exist regardless of the I/O configuration");
    } else {
        for (int in = 0; in < InputCount; ++in) {
            if (f.InputPersistent[in] == 0) continue;
            lines.push_back("Persistent anomaly on input " + InputName(in));
            f.ConfigAnomaly[in].fill(0);
        }
        for (int out = 0; out < OutputCount; ++out) {
            if (f.OutputPersistent[out] == 0) continue;
            lines.push_back("Persistent anomaly on output " + OutputName(out));
            for (auto& row : f.ConfigAnomaly) row[out] = 0;
        }
        for (int in = 0; in < InputCount; ++in) {
            for (int out = 0; out < OutputCount; ++out) {
                if (f.ConfigAnomaly[in][out] != 0 ||
                    (f.ConfigInputLineAnomaly[in][out][AdviceEntry] != 0 &&
                     f.InputLinePersistent[in] == 0)) {
                    lines.push_back("Punctual anomaly in I/O configuration " +
                                    ConfigurationName(in, out));
                    punctual = true;
                }
            }
        }
    }

    bool defects = punctual;
    for (int in = 0; in < InputCount; ++in)
        defects = defects || Defective(f.InputVccCount[in], InputVccRule) ||
                  Defective(f.InputGndCount[in], InputGndRule);
    for (int out = 0; out < OutputCount; ++out)
        defects = defects || Defective(f.OutputVccCount[out], OutputVccRule) ||
                  Defective(f.OutputGndCount[out], OutputGndRule);
    if (defects) {
        lines.push_back("");
        lines.push_back("Results / Preliminary diagnosis :");
    }
    for (int in = 0; in < InputCount; ++in) {
        const std::string name = "Input " + InputName(in);
        if (Defective(f.InputVccCount[in], InputVccRule))
            lines.push_back(DefectLine(name, "Vcc", f.InputVccCount[in], InputVccRule));
        if (Defective(f.InputGndCount[in], InputGndRule))
            lines.push_back(DefectLine(name, "Gnd", f.InputGndCount[in], InputGndRule));
    }
    for (int out = 0; out < OutputCount; ++out) {
        const std::string name = "Output " + OutputName(out);
        if (Defective(f.OutputVccCount[out], OutputVccRule))
            lines.push_back(DefectLine(name, "Vcc", f.OutputVccCount[out], OutputVccRule));
        if (Defective(f.OutputGndCount[out], OutputGndRule))
            lines.push_back(DefectLine(name, "Gnd", f.OutputGndCount[out], OutputGndRule));
    }
    if (punctual) {
        lines.push_back("");
        lines.push_back("To resolve punctual anomalies, you might want to check");
        lines.push_back("for common points between them and persistent anomalies");
        lines.push_back("(faulty relay, shorted relay command...)");
    }
    return lines;
}

} // namespace relmora
