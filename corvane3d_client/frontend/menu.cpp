#include "menu.h"

#include <GL/glut.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "font_text.h"
#include "frame_times.h"
#include "game.h"
#include "globals.h"
#include "glpng.h"
#include "platform.h"
#include "saved_settings.h"
#include "sound.h"
#include "target_colours.h"
#include "vehicle.h"

void (*menuQuit)() = nullptr;
int32_t displayIndex = 0;

namespace {

const int kEditLimit = 16;

const char* mainItems[] = {"SINGLE PLAYER", "MULTI PLAYER", "OPTIONS", "CREDITS", "HELP", "QUIT"};
const char* creditsItems[] = {"CORVANE 3D", "WAS DEVELOPED BY", "THE CORVANE TEAM", "+",
                              "OUR FRIENDS"};
const char* helpItems[] = {"FORWARD:   C-UP",    "BACKWARD:  C-DOWN", "LEFT:      C-LEFT",
                           "RIGHT:     C-RIGHT", "DROP BOMB: SPACE",  "REMOTE:    MINUS"};

const int32_t kDisplaySizes[3][2] = {{320, 256}, {640, 480}, {800, 600}};

// Timers armed by an earlier installCallbacks carry an older generation and die quietly, so only
// one lobby timer chain and one pump chain run at a time.
int timerGeneration = 0;

void soundSample(int n) {
    if (gSound) gSound->playSample(n);
}

void displayCallback() {
    if (gMenu) gMenu->display();
}
// The uncapped frame-time mode: menu frames too are redrawn back to back and logged, at detail -1.
void timedDisplayCallback() {
    displayCallback();
    frameTimeLog().frameEnded(monotonicMicroseconds(), -1, windowWidth, windowHeight);
}
void redrawAtOnce() {
    glutPostRedisplay();
}
void keyboardCallback(unsigned char key, int x, int y) {
    if (gMenu) gMenu->keyboard(key, x, y);
}
void specialCallback(int key, int x, int y) {
    if (gMenu) gMenu->special(key, x, y);
}
void lobbyTimerCallback(int generation) {
    if (generation != timerGeneration || !gMenu) return;
    gMenu->lobbyTimerRun();
    if (screenState != 2) glutTimerFunc(1000, lobbyTimerCallback, generation);
}
void pumpTimerCallback(int generation) {
    if (generation != timerGeneration || !gMenu) return;
    gMenu->pump();
    if (screenState != 2) glutTimerFunc(Menu::kPumpMs, pumpTimerCallback, generation);
}

// Writes prefix, value and suffix into a label of kLabelSize bytes; a long value is cut so that
// the prefix and the suffix (the edit cursor) always show.
void formatLabel(char* label, const char* prefix, const char* value, const char* suffix) {
    const size_t room = static_cast<size_t>(Menu::kLabelSize) - 1;
    const size_t p = std::min(std::strlen(prefix), room);
    const size_t x = std::min(std::strlen(suffix), room - p);
    const size_t v = std::min(std::strlen(value), room - p - x);
    std::memcpy(label, prefix, p);
    std::memcpy(label + p, value, v);
    std::memcpy(label + p + v, suffix, x);
    label[p + v + x] = '\0';
}

void redisplay() {
    if (glutGetWindow() != 0) glutPostRedisplay();
}

} // namespace

Menu::Menu() : font_("data/font.png", kFontCharset, 32, 34, 0, 0, 8) {
    if (!font_.load()) std::fprintf(stderr, "Problem loading font.png\n");
    pngSetStandardOrientation(1);
    introTexture_ = pngBind("data/intro.png", PNG_NOMIPMAPS, PNG_SOLID, nullptr, GL_REPEAT,
                            GL_LINEAR, GL_LINEAR);
    if (introTexture_ == 0) std::fprintf(stderr, "Problem loading intro.png\n");

    editing_ = 0;
    selected_ = 0;
    page_ = kMain;
    editBuffer_ = new char[256]();
    serverLabel_ = new char[kLabelSize]();
    nickLabel_ = new char[kLabelSize]();
    soundLabel_ = new char[kLabelSize]();
    displayLabel_ = new char[kLabelSize]();
    detailsLabel_ = new char[kLabelSize]();
    cameraLabel_ = new char[kLabelSize]();
    handlingLabel_ = new char[kLabelSize]();
    opponentsLabel_ = new char[kLabelSize]();

    multiItems_[0] = serverLabel_;
    multiItems_[1] = nickLabel_;
    multiItems_[2] = "JOIN";
    multiItems_[3] = "FIND SERVERS";
    multiItems_[4] = "MAIN";
    optionsItems_[0] = soundLabel_;
    optionsItems_[1] = displayLabel_;
    optionsItems_[2] = detailsLabel_;
    optionsItems_[3] = cameraLabel_;
    optionsItems_[4] = handlingLabel_;
    optionsItems_[5] = opponentsLabel_;
    optionsItems_[6] = "MAIN";
    lobbyItems_[0] = "START";
    lobbyItems_[1] = "LEAVE";

    pages_[kMain] = {mainItems, 6, 5, 5, 0, 3, 1, 1};
    pages_[kMulti] = {multiItems_, 5, 5, 5, 0, 2, 1, 1};
    pages_[kOptions] = {optionsItems_, 7, 4.5f, 4.5f, 0, 4, 1, 1};
    pages_[kCredits] = {creditsItems, 5, 6, 6, 0, 3, 1, 0};
    pages_[kHelp] = {helpItems, 6, 5, 5, -9, 3, 0, 0};
    pages_[kLobby] = {lobbyItems_, 2, 5, 5, 0, 4, 1, 1};
    pages_[kServers] = {serverItems_, 2, 3.2f, 3.2f, 0, 5, 1, 1};

    writeSoundLabel();
    writeNickLabel();
    writeDisplayLabel();
    writeDetailsLabel();
    writeChoiceLabels();
    writeServerLabel();
    rebuildLobbyLines();
    rebuildServerLines();

    joined_ = 0;
    connected_ = 0;
    if (serverAddress[0] != '\0') sessionConnect(serverAddress, nullptr);
}

Menu::~Menu() {
    leave();
    font_.release();
    freeLobbyLines();
    delete[] editBuffer_;
    delete[] serverLabel_;
    delete[] nickLabel_;
    delete[] soundLabel_;
    delete[] displayLabel_;
    delete[] detailsLabel_;
    delete[] cameraLabel_;
    delete[] handlingLabel_;
    delete[] opponentsLabel_;
}

void Menu::installCallbacks() {
    if (frameTimeLog().active()) {
        glutDisplayFunc(timedDisplayCallback);
        glutIdleFunc(redrawAtOnce);
    } else {
        glutDisplayFunc(displayCallback);
    }
    glutKeyboardFunc(keyboardCallback);
    glutSpecialFunc(specialCallback);
    glutSpecialUpFunc(nullptr);
    glutTimerFunc(1000, lobbyTimerCallback, ++timerGeneration);
    glutTimerFunc(kPumpMs, pumpTimerCallback, timerGeneration);
    if (gSound) gSound->playMusic(kMusicMenu);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glEnable(GL_TEXTURE_2D);
    const bool afterNetworkGame = gameMode == 2;
    joined_ = 0;
    chatting_ = 0;
    lobbyList.clear();
    gameMode = 0;
    writeDetailsLabel();
    // Back from a multi-player game: still connected, the player joins the lobby again at once.
    if (afterNetworkGame) {
        if (sessionRejoin()) {
            goTo(kLobby);
        } else {
            // The multi-player page's status line says the server was lost.
            connected_ = 0;
            clearNotices();
            goTo(kMulti);
        }
    }
    rebuildLobbyLines();
}

void Menu::leave() {
    if (gSound) gSound->stopMusic(kMusicMenu);
    glDisable(GL_TEXTURE_2D);
}

void Menu::display() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    drawPage();
    glutSwapBuffers();
}

void Menu::drawPage() {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gluLookAt(0, 0, 50, 0, 0, 0, 0, 1, 0);

    if (detailLevel == 2 && introTexture_ != 0) {
        glPushMatrix();
        glColor4f(1, 1, 1, 1);
        glBindTexture(GL_TEXTURE_2D, introTexture_);
        glScalef(55, 42, 1);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(-1, -1);
        glTexCoord2f(1, 0);
        glVertex2f(1, -1);
        glTexCoord2f(1, 1);
        glVertex2f(1, 1);
        glTexCoord2f(0, 1);
        glVertex2f(-1, 1);
        glEnd();
        glPopMatrix();
    }

    if (page_ < 0 || page_ >= kPageCount || font_.texture() == 0) return;
    const MenuPage& p = pages_[page_];
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, 0.5f);
    font_.bind();
    glPushMatrix();
    glScalef(p.scaleX, p.scaleY, 1);
    glTranslatef(p.offsetX, p.offsetY, 0);
    char marked[320];
    for (int i = 0; i < p.count; ++i) {
        const char* text = p.items[i] ? p.items[i] : "";
        if (p.selectable && i == selected_) {
            std::snprintf(marked, sizeof marked, "- %s -", text);
            text = marked;
            glColor4f(1, 1, 1, 1);
        } else if (p.selectable) {
            glColor4f(0.7f, 0.7f, 0.7f, 1);
        } else {
            glColor4f(1, 1, 1, 1);
        }
        const int n = static_cast<int>(std::strlen(text));
        glPushMatrix();
        glTranslatef(p.centred ? -n / 2.0f : 0.0f, -1.5f * static_cast<float>(i), 0);
        font_.drawText(text, n);
        glPopMatrix();
    }
    glPopMatrix();
    glDisable(GL_ALPHA_TEST);
    drawStatus();
}

void Menu::special(int key, int, int) {
    if (key != GLUT_KEY_UP && key != GLUT_KEY_DOWN) return;
    if (!editing_ && !chatting_ && page_ >= 0 && page_ < kPageCount) {
        const int32_t count = pages_[page_].count;
        if (key == GLUT_KEY_UP)
            selected_ = selected_ <= 0 ? count - 1 : selected_ - 1;
        else
            selected_ = selected_ >= count - 1 ? 0 : selected_ + 1;
    }
    redisplay();
}

void Menu::keyboard(unsigned char key, int, int) {
    soundSample(kSampleType);
    if (chatting_) {
        chatKey(key);
        redisplay();
        return;
    }
    if (!editing_ && page_ == kLobby && joined_ && (key == 't' || key == 'T')) {
        chatting_ = 1;
        chatBuffer_[0] = '\0';
        redisplay();
        return;
    }
    if (!editing_) {
        if (key == 13) {
            runAction();
            saveSettingsNow();
            redisplay();
        } else if (key == 27 || key == 'Q' || key == 'q') {
            if (menuQuit) menuQuit();
        }
        return;
    }
    if (key == 13 || key == 27) {
        runAction();
        saveSettingsNow();
    } else
        editKey(key);
    redisplay();
}

void Menu::editKey(unsigned char key) {
    size_t length = std::strlen(editBuffer_);
    if (key == 8) {
        if (length > 0) editBuffer_[length - 1] = '\0';
    } else if (selected_ == 1) {
        const unsigned char c = static_cast<unsigned char>(std::toupper(key));
        if (length < kEditLimit && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            editBuffer_[length] = static_cast<char>(c);
            editBuffer_[length + 1] = '\0';
        }
    } else if (selected_ == 0) {
        if (length < kEditLimit && ((key >= '0' && key <= '9') || key == '.')) {
            editBuffer_[length] = static_cast<char>(key);
            editBuffer_[length + 1] = '\0';
        }
    }
    if (selected_ == 1) writeNickLabel();
    if (selected_ == 0) writeServerLabel();
}

void Menu::runAction() {
    switch (page_) {
    case kMain:
        mainAction();
        break;
    case kMulti:
        multiAction();
        break;
    case kOptions:
        optionsAction();
        break;
    case kCredits:
    case kHelp:
        goTo(kMain);
        break;
    case kLobby:
        lobbyAction();
        break;
    case kServers:
        serversAction();
        break;
    default:
        break;
    }
}

void Menu::goTo(int32_t page) {
    page_ = page;
    selected_ = 0;
}

void Menu::mainAction() {
    switch (selected_) {
    case 0: {
        double local[3] = {0, 0, 0};
        if (gGame) {
            gGame->setLocalPlayerId(1);
            for (int i = 0; i < 3; ++i)
                local[i] = gGame->localVehicle->ambient()[i];
        }
        double colours[3][3];
        drawTargetColours(local, colours, 3);
        for (int32_t id = 2; id <= 4; ++id) {
            LobbyEntry* e = new LobbyEntry;
            e->playerId = id;
            copyText(e->nick, "CPU", sizeof e->nick);
            copyText(e->address, "LOCAL", sizeof e->address);
            for (int i = 0; i < 3; ++i)
                e->colour[i] = colours[id - 2][i];
            lobbyList.append(e);
        }
        enterGame(1);
        break;
    }
    case 1:
    case 2:
    case 3:
    case 4:
        goTo(selected_);
        break;
    case 5:
        if (menuQuit) menuQuit();
        break;
    default:
        break;
    }
}

void Menu::multiAction() {
    switch (selected_) {
    case 0:
        if (!editing_) {
            sessionClose();
            connected_ = 0;
            editing_ = 1;
            copyText(editBuffer_, serverAddress, 256);
        } else {
            // A failed address stays on the page, beside the reason, to be corrected.
            editing_ = 0;
            copyText(serverAddress, editBuffer_, sizeof serverAddress);
            sessionConnect(serverAddress, nullptr);
        }
        writeServerLabel();
        break;
    case 1:
        if (!editing_) {
            editing_ = 1;
            copyText(editBuffer_, nickName, 256);
        } else {
            editing_ = 0;
            copyText(nickName, editBuffer_, sizeof nickName);
        }
        writeNickLabel();
        rebuildLobbyLines();
        break;
    case 2:
        join();
        break;
    case 3:
        findServers();
        break;
    case 4:
        if (connected_) {
            serverAddress[0] = '\0';
            connected_ = 0;
            joined_ = 0;
            writeServerLabel();
        }
        sessionClose();
        goTo(kMain);
        break;
    default:
        break;
    }
}

void Menu::optionsAction() {
    switch (selected_) {
    case 0:
        if (gSound) {
            if (gSound->isInitialised()) {
                gSound->stopMusic(kMusicMenu);
                gSound->shutdown();
            } else {
                gSound->init();
                gSound->playMusic(kMusicMenu);
            }
        }
        writeSoundLabel();
        break;
    case 1:
        if (!fullScreen) {
            displayIndex = (displayIndex + 1) % 3;
            windowWidth = kDisplaySizes[displayIndex][0];
            windowHeight = kDisplaySizes[displayIndex][1];
            writeDisplayLabel();
            if (glutGetWindow() != 0) glutReshapeWindow(windowWidth, windowHeight);
        }
        break;
    case 2:
        detailLevel = (detailLevel + 1) % 3;
        writeDetailsLabel();
        break;
    case 3:
        cameraMode = (cameraMode + 1) % 2;
        writeChoiceLabels();
        break;
    case 4:
        handlingMode = (handlingMode + 1) % 2;
        writeChoiceLabels();
        break;
    case 5:
        opponentLevel = (opponentLevel + 1) % 3;
        writeChoiceLabels();
        break;
    case 6:
        goTo(kMain);
        break;
    default:
        break;
    }
}

void Menu::enterGame(int mode) {
    leave();
    if (gGame) gGame->enter(mode);
}

void Menu::writeSoundLabel() {
    const bool on = gSound && gSound->isInitialised();
    copyText(soundLabel_, on ? "SOUND: ON " : "SOUND: OFF", kLabelSize);
}

void Menu::writeNickLabel() {
    if (editing_ && page_ == kMulti && selected_ == 1)
        formatLabel(nickLabel_, "NICK: ", editBuffer_, "]");
    else
        formatLabel(nickLabel_, "NICK: ", nickName, "");
}

void Menu::writeServerLabel() {
    if (editing_ && page_ == kMulti && selected_ == 0)
        formatLabel(serverLabel_, "SERVER: ", editBuffer_, "]");
    else
        formatLabel(serverLabel_, "SERVER: ", serverAddress, "");
}

void Menu::writeDetailsLabel() {
    static const char* const texts[3] = {" DETAILS: LOW  ", "DETAILS: MEDIUM", " DETAILS: HIGH "};
    const int level = detailLevel >= 0 && detailLevel <= 2 ? detailLevel : 1;
    copyText(detailsLabel_, texts[level], kLabelSize);
}

void Menu::writeChoiceLabels() {
    static const char* const cameras[2] = {"CAMERA: CLASSIC", "CAMERA: SMOOTH"};
    static const char* const handlings[2] = {"HANDLING: CLASSIC", "HANDLING: SLIDE"};
    static const char* const levels[3] = {"OPPONENTS: PARKED", "OPPONENTS: EASY",
                                          "OPPONENTS: HARD"};
    copyText(cameraLabel_, cameras[cameraMode == 1 ? 1 : 0], kLabelSize);
    copyText(handlingLabel_, handlings[handlingMode == 1 ? 1 : 0], kLabelSize);
    copyText(opponentsLabel_, levels[opponentLevel >= 0 && opponentLevel <= 2 ? opponentLevel : 0],
             kLabelSize);
}

void Menu::writeDisplayLabel() {
    if (fullScreen)
        copyText(displayLabel_, " DISPLAY: N.A.", kLabelSize);
    else
        std::snprintf(displayLabel_, kLabelSize, "DISPLAY: %dX%d", windowWidth, windowHeight);
}
