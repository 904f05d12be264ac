#include "notices.h"

#include <cstdio>
#include <cstring>

#include "clock.h"
#include "font_text.h"

namespace {

struct Notice {
    char text[64];
    int64_t until;
};

Notice notices[kNoticeLimit];
int shown = 0;
char chat[kChatLineLimit][kChatLineSize];
int chatLines = 0;

} // namespace

void postNotice(const char* text) {
    if (shown == kNoticeLimit) {
        std::memmove(&notices[0], &notices[1], sizeof(Notice) * (kNoticeLimit - 1));
        --shown;
    }
    toFontText(text, notices[shown].text, sizeof notices[shown].text);
    notices[shown].until = clockMs() + kNoticeMs;
    ++shown;
}

bool expireNotices() {
    const int64_t now = clockMs();
    int kept = 0;
    for (int i = 0; i < shown; ++i)
        if (notices[i].until > now) notices[kept++] = notices[i];
    const bool changed = kept != shown;
    shown = kept;
    return changed;
}

int noticeCount() {
    return shown;
}

const char* noticeText(int i) {
    return i >= 0 && i < shown ? notices[i].text : "";
}

float noticeFade(int i) {
    if (i < 0 || i >= shown) return 0;
    const int64_t left = notices[i].until - clockMs();
    if (left >= 1000) return 1;
    return left > 0 ? static_cast<float>(left) / 1000.0f : 0.0f;
}

void clearNotices() {
    shown = 0;
}

void addChatLine(const char* nick, const char* text) {
    if (chatLines == kChatLineLimit) {
        std::memmove(chat[0], chat[1], sizeof chat[0] * (kChatLineLimit - 1));
        --chatLines;
    }
    char who[32];
    char said[kChatTextLimit + 1];
    toFontText(nick, who, sizeof who);
    toFontText(text, said, sizeof said);
    std::snprintf(chat[chatLines], sizeof chat[chatLines], "%s: %s", who[0] ? who : "?", said);
    ++chatLines;
}

int chatLineCount() {
    return chatLines;
}

const char* chatLine(int i) {
    return i >= 0 && i < chatLines ? chat[i] : "";
}

void clearChatLines() {
    chatLines = 0;
}
