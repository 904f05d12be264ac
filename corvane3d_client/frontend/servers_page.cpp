#include <cstdio>

#include "globals.h"
#include "menu.h"
#include "session.h"

void Menu::findServers() {
    discoveryStart();
    rebuildServerLines();
    goTo(kServers);
}

void Menu::rebuildServerLines() {
    const int found = discoveryCount();
    for (int i = 0; i < found; ++i) {
        const FoundServer& f = discoveryServer(i);
        if (f.inGame)
            std::snprintf(serverLines_[i], sizeof serverLines_[i], "%.10s %s PLAYING", f.name,
                          f.address);
        else
            std::snprintf(serverLines_[i], sizeof serverLines_[i], "%.10s %s %d OF 7", f.name,
                          f.address, f.players);
        serverItems_[i] = serverLines_[i];
    }
    serverItems_[found] = "SEARCH AGAIN";
    serverItems_[found + 1] = "BACK";
    pages_[kServers].count = found + 2;
    if (page_ == kServers && selected_ >= found + 2) selected_ = found + 1;
}

void Menu::serversAction() {
    const int found = discoveryCount();
    if (selected_ < found) {
        const FoundServer& f = discoveryServer(selected_);
        copyText(serverAddress, f.address, sizeof serverAddress);
        writeServerLabel();
        connected_ = 0;
        joined_ = 0;
        sessionConnect(f.address, f.name);
        discoveryStop();
        goTo(kMulti);
        selected_ = 2; // JOIN, once connected
    } else if (selected_ == found) {
        findServers();
    } else {
        discoveryStop();
        goTo(kMulti);
        selected_ = 3;
    }
}
