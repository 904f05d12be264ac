#include "game.h"

#include <cmath>

#include "bomb.h"
#include "clock.h"
#include "cpu_players.h"
#include "driving.h"
#include "globals.h"
#include "net.h"
#include "platform.h"
#include "protocol.h"
#include "round.h"
#include "vehicle.h"
#include "wall_block.h"
#include "world.h"

namespace {
// Arc kept between single-player cars at the start, so that no target waits at the bumper.
const double kStartSpacingDegrees = 30.0;
const int kMaxStartCars = 8;
} // namespace

void Camera::follow(Vector3 p, Vector3 forward) {
    if (cameraMode == 1) {
        followSmoothly(&smooth, p, forward, clockMs(), &eye, &target, &up);
        return;
    }
    up = Vector3(0, 1, 0);
    target = p * 100.0;
    Vector3 desired = p * 170.0;
    double cosine = eye.dot(desired) / (desired.length() * eye.length());
    if (cosine < 0.98)
        following = 1;
    else if (cosine > 0.999)
        following = 0;
    if (following) {
        Vector3 e = eye + (desired - eye) * 0.2;
        e.normalize();
        eye = e * 170.0;
    }
}

Lights::Lights() : colour(0.6, 0.5, 0.5), constantAttenuation(0.06), linearAttenuation(0.01) {
    eye = Vector3(0, 0, 200);
    target = Vector3(0, 0, 100);
}

Game::Game() {
    camera = new Camera;
    lights = new Lights;
    world = new World;
    localVehicle = new Vehicle;
    opponents = new List<Vehicle>;
    bombs = new List<Bomb>;
    computer = new CpuPlayers;
    localVehicle->setDrawnWhileCloaked(1);
}

Game::~Game() {
    delete camera;
    delete lights;
    delete world;
    delete localVehicle;
    delete opponents;
    delete bombs;
    delete computer;
}

int32_t Game::localPlayerId() const {
    return localVehicle->id();
}

void Game::setLocalPlayerId(int32_t id) {
    localVehicle->setId(id);
}

void Game::setLocalColour(double r, double g, double b) {
    localVehicle->setColour(r, g, b);
}

void Game::addOpponent(int32_t id, double r, double g, double b, uint8_t drawnWhileCloaked) {
    Vehicle* v = new Vehicle;
    v->setId(id);
    v->setColour(r, g, b);
    v->setDrawnWhileCloaked(drawnWhileCloaked);
    v->randomStart();
    v->updateOrientation();
    opponents->append(v);
    opponentsTookPart_ = true;
}

void Game::removeOpponent(int32_t id) {
    for (Vehicle* v = opponents->first(); v; v = opponents->next()) {
        if (v->id() == id) {
            opponents->remove(opponents->position());
            return;
        }
        if (opponents->atEnd()) break;
    }
}

void Game::enter(int mode) {
    for (LobbyEntry* e = lobbyList.first(); e; e = lobbyList.next()) {
        addOpponent(e->playerId, e->colour[0], e->colour[1], e->colour[2], mode == 1 ? 1 : 0);
        if (lobbyList.atEnd()) break;
    }
    screenState = 2;
    gameMode = mode == 1 ? 1 : 2;
    start(mode != 0 ? 1 : 0);
}

void Game::start(uint8_t singlePlayer) {
    if (platform.prepareGameView) platform.prepareGameView();
    roundReset();
    world->buildLabyrinth(singlePlayer);

    localVehicle->setBombsAvailable(3);
    localVehicle->setBombCapacity(3);
    localVehicle->setBombsAvailable(3);
    localVehicle->setFlameRange(3);
    localVehicle->setRemoteControl(0);
    localVehicle->setCloak(0);
    localVehicle->setEnergy(5);
    localVehicle->setSpeed(3);
    localVehicle->setDrawnWhileCloaked(1);

    placeOnStartCircle(*world, *localVehicle, nullptr, 0, 0.0);
    if (singlePlayer == 1) placeTargets();

    Vector3 p = localVehicle->position();
    camera->setTarget(p);
    Vector3 e = p;
    e.normalize();
    camera->setEye(e * 170.0);

    computer->start(*this, singlePlayer ? opponentLevel : kCpuParked);
    if (platform.installGameCallbacks) platform.installGameCallbacks();
    playMusic(kMusicGame);
    startTicks = 0;
    endTicks = 0;
    moveInput = 0;
    turnInput = 0;
}

void Game::placeTargets() {
    Vector3 taken[kMaxStartCars];
    int count = 0;
    taken[count++] = localVehicle->position();
    for (Vehicle* v = opponents->first(); v; v = opponents->next()) {
        placeOnStartCircle(*world, *v, taken, count, kStartSpacingDegrees);
        if (count < kMaxStartCars) taken[count++] = v->position();
        if (opponents->atEnd()) break;
    }
}

bool Game::won() const {
    return opponentsTookPart_ && opponents->count() == 0;
}

void Game::end() {
    opponentsTookPart_ = false;
    NetLeaveGame(localPlayerId());
    computer->stop();
    opponents->clear();
    bombs->clear();
    stopMusic(kMusicGame);
}

bool Game::localDead() const {
    return localVehicle->energy() < 1;
}

void Game::tick() {
    if (gameMode == 2 && !roundTick(*this)) return;
    if (startTicks < 40) {
        ++startTicks;
        // The others see this car where it stands once they are all in the game, not only after
        // its first move.
        if (startTicks == 40)
            NetSendVehicleMove(localVehicle->id(), localVehicle->position(),
                               localVehicle->heading());
    }

    for (WallBlock* b = world->blocks().first(); b; b = world->blocks().next()) {
        if (b->state() == 1) b->updateDebris();
        if (world->blocks().atEnd()) break;
    }

    Vehicle* car = localVehicle;
    if (steerVehicle(*world, *car, turnInput, moveInput, camera->view(), handlingMode == 1))
        NetSendVehicleMove(car->id(), car->position(), car->heading());
    computer->tick(*this);

    updateBombs();
    pickUpItems(localVehicle);
    applyFlameEffects();
}

void Game::pickUpItems(Vehicle* car) {
    Vector3 p = car->position() * 100.0;
    List<WallBlock>& blocks = world->blocks();
    for (WallBlock* b = blocks.first(); b; b = blocks.next()) {
        if (b->state() == 1 && b->item() != 0 && b->contains(p)) {
            car->pickUpItem(b->item());
            b->setItem(0);
            NetSendItemTaken(b->id());
        }
        if (blocks.atEnd()) break;
    }
}

void Game::dispatch(const uint8_t* message, size_t length) {
    proto::Header h;
    if (!proto::decodeHeader(message, length, &h)) return;
    int32_t id = 0;
    switch (h.type) {
    case proto::kPlayerLeft:
    case proto::kPlayerDead:
        if (proto::decodeIdMessage(message, length, h.type, &id)) {
            removeOpponent(id);
            detonateBombsOf(id);
        }
        break;
    case proto::kCloakState: {
        proto::CloakState m;
        if (!proto::decodeCloakState(message, length, &m)) break;
        for (Vehicle* v = opponents->first(); v; v = opponents->next()) {
            if (v->id() == m.playerId) {
                v->setCloak(m.cloak == 1 ? 1 : 0);
                break;
            }
            if (opponents->atEnd()) break;
        }
        break;
    }
    case proto::kVehicleMove: {
        proto::VehicleMove m;
        if (!proto::decodeVehicleMove(message, length, &m)) break;
        for (Vehicle* v = opponents->first(); v; v = opponents->next()) {
            if (v->id() == m.playerId) {
                v->setPosition(m.position);
                v->setHeading(m.heading);
                v->updateOrientation();
                break;
            }
            if (opponents->atEnd()) break;
        }
        break;
    }
    case proto::kBombDropped: {
        proto::BombDropped m;
        if (!proto::decodeBombDropped(message, length, &m)) break;
        // No car reaches a range above 8: a larger one comes from a broken peer.
        if (m.range < 0) m.range = 0;
        if (m.range > 8) m.range = 8;
        addBombCopy(m.owner, m.number, m.range, m.dropPoint, m.heading);
        break;
    }
    case proto::kBombExploded: {
        proto::BombExploded m;
        if (proto::decodeBombExploded(message, length, &m)) explodeBomb(m.owner, m.number);
        break;
    }
    case proto::kBlockDestroyed:
        if (proto::decodeIdMessage(message, length, h.type, &id)) world->destroyBlock(id);
        break;
    case proto::kItemTaken:
        if (proto::decodeIdMessage(message, length, h.type, &id)) world->takeItem(id);
        break;
    default:
        break;
    }
}
