// Short messages for the player ("BOB JOINED", "SERVER LOST") shown for a few seconds over the
// lobby and the game, and the last lines of the lobby chat.
#pragma once

#include <cstdint>

constexpr int kNoticeLimit = 4;     // notices shown at once; the oldest gives way
constexpr int64_t kNoticeMs = 4000; // how long one shows
constexpr int kChatLineLimit = 4;   // chat lines kept
constexpr int kChatTextLimit = 60;  // characters of one chat text
constexpr int kChatLineSize = 96;   // bytes of one kept chat line, "NICK: TEXT"

// Adds a notice, in the font's characters, that shows for kNoticeMs from now.
void postNotice(const char* text);
// Forgets the notices that have had their time; true when any went.
bool expireNotices();
// Notices showing now, oldest first.
int noticeCount();
const char* noticeText(int i);
// 1 while notice i is fresh, falling to 0 over its last second.
float noticeFade(int i);
void clearNotices();

// Adds "NICK: TEXT" (font characters, text cut at 60) as the newest chat line.
void addChatLine(const char* nick, const char* text);
// Chat lines kept, oldest first.
int chatLineCount();
const char* chatLine(int i);
void clearChatLines();
