// Settings files: the writer, then the reader with one rule per key.
#include "commands/Settings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>

namespace {

const char* const operatorNames[] = {"norm", "over", "att", "mip"};

// %.9g and %.17g give back the same float and double when read.
std::string numbers(const float* v, int count) {
    std::string text;
    char word[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(word, sizeof word, "%s%.9g", i ? " " : "", double(v[i]));
        text += word;
    }
    return text;
}

bool readNumber(const std::string& word, double& out) {
    char* end = nullptr;
    out = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' && std::isfinite(out);
}

// Every word a number (whole where asked) within [low, high].
bool readNumbers(const std::vector<std::string>& words, size_t count, double low, double high,
                 bool whole, double* out) {
    if (words.size() != count) return false;
    for (size_t i = 0; i < count; ++i)
        if (!readNumber(words[i], out[i]) || out[i] < low || out[i] > high ||
            (whole && out[i] != std::floor(out[i])))
            return false;
    return true;
}

bool readChoice(const std::vector<std::string>& words, const char* const* names, int count,
                int& out) {
    for (int i = 0; words.size() == 1 && i < count; ++i)
        if (words[0] == names[i]) return out = i, true;
    return false;
}

// Rules per key: read the words into look, or say what a good value is.
struct Rule {
    const char* key;
    const char* wants;
    std::function<bool(const std::vector<std::string>&, Look&)> read;
};

bool readFloats(const std::vector<std::string>& w, size_t count, double low, double high,
                float* out) {
    double v[16];
    if (count > 16 || !readNumbers(w, count, low, high, false, v)) return false;
    for (size_t i = 0; i < count; ++i)
        out[i] = float(v[i]); // the words were written from floats
    return true;
}

bool readTransferPoints(const std::vector<std::string>& w, Look& look) {
    double v[12];
    if (!readNumbers(w, 12, 0, 255, true, v) || v[0] != 0 || v[10] != 255) return false;
    for (int j = 0; j < 6; ++j)
        if (v[2 * j + 1] > 128 || (j > 0 && v[2 * j] < v[2 * j - 2])) return false;
    for (int j = 0; j < 6; ++j)
        look.transfer.controlPoints[j] = {int(v[2 * j]), int(v[2 * j + 1])};
    return true;
}

bool readRotation(const std::vector<std::string>& w, Look& look) {
    float r[9];
    if (!readFloats(w, 9, -1, 1, r)) return false;
    // Columns of unit length, at right angles and right-handed.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const float dot =
                r[3 * i] * r[3 * j] + r[3 * i + 1] * r[3 * j + 1] + r[3 * i + 2] * r[3 * j + 2];
            if (std::fabs(dot - (i == j ? 1.0f : 0.0f)) > 1e-3f) return false;
        }
    const float det = r[0] * (r[4] * r[8] - r[5] * r[7]) - r[3] * (r[1] * r[8] - r[2] * r[7]) +
                      r[6] * (r[1] * r[5] - r[2] * r[4]);
    if (det < 0) return false;
    std::copy(r, r + 9, look.rotation);
    return look.rotationGiven = true;
}

bool readClip(const std::vector<std::string>& w, Look& look) {
    if (w.size() == 1 && w[0] == "off") return look.clip.on = false, true;
    float v[4];
    if (!readFloats(w, 4, -2, 2, v) ||
        std::fabs(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] - 1.0f) > 1e-3f)
        return false;
    look.clip.on = true;
    std::copy(v, v + 3, look.clip.normal);
    look.clip.offset = v[3];
    return true;
}

const Rule rules[] = {
    {"transfer-bounds", "two whole numbers LOW HIGH, 0 <= LOW <= HIGH <= 256",
     [](const auto& w, Look& look) {
         double v[2];
         if (!readNumbers(w, 2, 0, 256, true, v) || v[0] > v[1]) return false;
         look.transfer.lowBound = int(v[0]), look.transfer.highBound = int(v[1]);
         return true;
     }},
    {"transfer-points",
     "six pairs X Y of whole numbers: X from 0 up to 255 in order, Y from 0 to 128",
     readTransferPoints},
    {"operator", "norm, over, att or mip",
     [](const auto& w, Look& look) {
         int i = 0;
         if (!readChoice(w, operatorNames, 4, i)) return false;
         look.blendOperator = BlendOperator(i);
         return true;
     }},
    {"density", "a number from 0 to 1",
     [](const auto& w, Look& look) { return readFloats(w, 1, 0, 1, &look.density); }},
    {"intensity", "a number from 0 to 1",
     [](const auto& w, Look& look) { return readFloats(w, 1, 0, 1, &look.intensity); }},
    {"slices", "a whole number from 10 to 200",
     [](const auto& w, Look& look) {
         double v;
         return readNumbers(w, 1, 10, 200, true, &v) && (look.sliceCount = int(v), true);
     }},
    {"filter", "linear or nearest",
     [](const auto& w, Look& look) {
         const char* const names[] = {"nearest", "linear"};
         int i = 0;
         return readChoice(w, names, 2, i) && (look.linearFilter = i == 1, true);
     }},
    {"window", "two numbers LOW HIGH, LOW below HIGH",
     [](const auto& w, Look& look) {
         double v[2];
         if (!readNumbers(w, 2, -HUGE_VAL, HUGE_VAL, false, v) || !(v[0] < v[1])) return false;
         look.windowGiven = true, look.window[0] = v[0], look.window[1] = v[1];
         return true;
     }},
    {"rotation", "nine numbers, the columns of a turn", readRotation},
    {"distance", "a number from -19 to -1",
     [](const auto& w, Look& look) { return readFloats(w, 1, -19, -1, &look.distance); }},
    {"clip", "off, or a unit normal X Y Z and an offset from -2 to 2", readClip},
    {"opacity-correction", "on or off",
     [](const auto& w, Look& look) {
         const char* const names[] = {"off", "on"};
         int i = 0;
         return readChoice(w, names, 2, i) && (look.opacityCorrection = i == 1, true);
     }},
};

} // namespace

std::string formatLook(const Look& look) {
    const TransferFunction& tf = look.transfer;
    std::ostringstream out;
    out << "# skorel-open look\n";
    out << "transfer-bounds = " << tf.lowBound << ' ' << tf.highBound << '\n';
    out << "transfer-points =";
    for (const ControlPoint& p : tf.controlPoints)
        out << ' ' << p.x << ' ' << p.y;
    out << "\noperator = " << operatorNames[int(look.blendOperator)] << '\n';
    out << "density = " << numbers(&look.density, 1) << '\n';
    out << "intensity = " << numbers(&look.intensity, 1) << '\n';
    out << "slices = " << look.sliceCount << '\n';
    out << "filter = " << (look.linearFilter ? "linear" : "nearest") << '\n';
    if (look.windowGiven) {
        char text[80];
        std::snprintf(text, sizeof text, "window = %.17g %.17g\n", look.window[0], look.window[1]);
        out << text;
    }
    if (look.rotationGiven) out << "rotation = " << numbers(look.rotation, 9) << '\n';
    out << "distance = " << numbers(&look.distance, 1) << '\n';
    const float clip[4] = {look.clip.normal[0], look.clip.normal[1], look.clip.normal[2],
                           look.clip.offset};
    out << "clip = " << (look.clip.on ? numbers(clip, 4) : "off") << '\n';
    out << "opacity-correction = " << (look.opacityCorrection ? "on" : "off") << '\n';
    return out.str();
}

bool parseLook(const std::string& text, Look& look, std::string& error,
               std::vector<std::string>& warnings) {
    Look read = look;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string where = "line " + std::to_string(number) + ": ";
        std::istringstream words(line);
        std::string key, equals, word;
        if (!(words >> key) || key[0] == '#') continue;
        const size_t sign = line.find('=');
        if (sign == std::string::npos) {
            error = where + "not a 'key = values' line";
            return false;
        }
        words.str(line.substr(sign + 1));
        words.clear();
        key = line.substr(0, sign);
        key.erase(key.find_last_not_of(" \t\r") + 1);
        key.erase(0, key.find_first_not_of(" \t"));
        std::vector<std::string> values;
        while (words >> word)
            values.push_back(word);
        const Rule* rule = nullptr;
        for (const Rule& r : rules)
            rule = key == r.key ? &r : rule;
        if (!rule) {
            warnings.push_back(where + "unknown key '" + key + "' skipped");
        } else if (!rule->read(values, read)) {
            error = where + key + " wants " + rule->wants;
            return false;
        }
    }
    look = read;
    return true;
}
