#include "settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "globals.h"

namespace {

const char* const kOnOff[] = {"off", "on"};
const char* const kCameras[] = {"classic", "smooth"};
const char* const kHandlings[] = {"classic", "slide"};
const char* const kOpponents[] = {"parked", "easy", "hard"};
const char* const kDetails[] = {"low", "medium", "high"};
const char* const kDisplays[] = {"320x256", "640x480", "800x600"};
const size_t kNickLimit = 16;
const size_t kServerLimit = 63;

int choiceIndex(const std::string& value, const char* const* names, int count) {
    for (int i = 0; i < count; ++i)
        if (value == names[i]) return i;
    return -1;
}

bool nickAllowed(const std::string& v) {
    if (v.empty() || v.size() > kNickLimit) return false;
    for (char c : v)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

bool serverAllowed(const std::string& v) {
    if (v.size() > kServerLimit) return false;
    for (char c : v)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-'))
            return false;
    return true;
}

void applyLine(const std::string& key, const std::string& value, Settings* s) {
    int i = -1;
    if (key == "sound") {
        if ((i = choiceIndex(value, kOnOff, 2)) >= 0) s->sound = static_cast<uint8_t>(i);
    } else if (key == "display") {
        if ((i = choiceIndex(value, kDisplays, 3)) >= 0) s->display = i;
    } else if (key == "details") {
        if ((i = choiceIndex(value, kDetails, 3)) >= 0) s->details = i;
    } else if (key == "camera") {
        if ((i = choiceIndex(value, kCameras, 2)) >= 0) s->camera = i;
    } else if (key == "handling") {
        if ((i = choiceIndex(value, kHandlings, 2)) >= 0) s->handling = i;
    } else if (key == "opponents") {
        if ((i = choiceIndex(value, kOpponents, 3)) >= 0) s->opponents = i;
    } else if (key == "nick") {
        if (nickAllowed(value)) copyText(s->nick, value.c_str(), sizeof s->nick);
    } else if (key == "server") {
        if (serverAllowed(value)) copyText(s->server, value.c_str(), sizeof s->server);
    }
}

const char* nameOf(const char* const* names, int count, int32_t i) {
    return names[i >= 0 && i < count ? i : 0];
}

bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string dir = path.substr(0, slash);
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

} // namespace

bool operator==(const Settings& a, const Settings& b) {
    return a.sound == b.sound && a.display == b.display && a.details == b.details &&
           a.camera == b.camera && a.handling == b.handling && a.opponents == b.opponents &&
           std::strcmp(a.nick, b.nick) == 0 && std::strcmp(a.server, b.server) == 0;
}

void parseSettings(const std::string& text, Settings* s) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq == std::string::npos || line.find('\0') != std::string::npos) continue;
        applyLine(line.substr(0, eq), line.substr(eq + 1), s);
    }
}

std::string formatSettings(const Settings& s) {
    std::string out;
    out += std::string("sound=") + kOnOff[s.sound ? 1 : 0] + "\n";
    out += std::string("display=") + nameOf(kDisplays, 3, s.display) + "\n";
    out += std::string("details=") + nameOf(kDetails, 3, s.details) + "\n";
    out += std::string("camera=") + nameOf(kCameras, 2, s.camera) + "\n";
    out += std::string("handling=") + nameOf(kHandlings, 2, s.handling) + "\n";
    out += std::string("opponents=") + nameOf(kOpponents, 3, s.opponents) + "\n";
    out += std::string("nick=") + s.nick + "\n";
    out += std::string("server=") + s.server + "\n";
    return out;
}

std::string settingsPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/corvane3d/settings";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/corvane3d/settings";
    return "";
}

bool loadSettingsFile(const std::string& path, Settings* s) {
    if (path.empty()) return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string text;
    char buf[1024];
    size_t n;
    // A settings file is a few hundred bytes; anything far larger is not one.
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() < 65536)
        text.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return false;
    parseSettings(text, s);
    return true;
}

bool saveSettingsFile(const std::string& path, const Settings& s) {
    if (path.empty() || !makeFolders(path)) return false;
    const std::string temporary = path + ".new";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) return false;
    const std::string text = formatSettings(s);
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

Settings settingsToKeep(const Settings& now, const Settings& atStart, const Settings& fromFile) {
    Settings k = now;
    if (now.sound == atStart.sound) k.sound = fromFile.sound;
    if (now.display == atStart.display) k.display = fromFile.display;
    if (now.details == atStart.details) k.details = fromFile.details;
    if (now.camera == atStart.camera) k.camera = fromFile.camera;
    if (now.handling == atStart.handling) k.handling = fromFile.handling;
    if (now.opponents == atStart.opponents) k.opponents = fromFile.opponents;
    if (std::strcmp(now.nick, atStart.nick) == 0) copyText(k.nick, fromFile.nick, sizeof k.nick);
    if (std::strcmp(now.server, atStart.server) == 0)
        copyText(k.server, fromFile.server, sizeof k.server);
    return k;
}
