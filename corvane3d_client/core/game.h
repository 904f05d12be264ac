// The running game: camera, lights, world, the local car, the opponents and the live bombs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "list.h"
#include "vector3.h"

class World;
class Vehicle;
class Bomb;

class Camera {
  public:
    Camera() : eye(0, 0, 170), target(0, 0, 100) {}
    void setEye(Vector3 e) { eye = e; }
    void setTarget(Vector3 t) { target = t; }
    // target - eye.
    Vector3 view() const { return target - eye; }
    // Moves the eye after the car at position p (a unit vector) with the lag rule, aims at the
    // surface under it; returns nothing, draws nothing.
    void follow(Vector3 p);
    // follow(p), then loads the look-at transform.
    void apply(Vector3 p);

    Vector3 eye;
    Vector3 target;
    uint8_t following = 0;
};

class Lights : public Camera {
  public:
    Lights();
    // Sets up OpenGL light 0 from the fields.
    void setUp();
    // Places light 0 200 units above the car at p and sets fog by the detail level.
    void follow(Vector3 p);

    Vector3 colour;
    double constantAttenuation;
    double linearAttenuation;
};

class Game {
  public:
    // Creates camera, lights, world (loading the planet texture), local car, empty lists.
    Game();
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    int32_t localPlayerId() const;
    void setLocalPlayerId(int32_t id);
    void setLocalColour(double r, double g, double b);
    // Appends an opponent car with id, colour and flag, placed at random.
    void addOpponent(int32_t id, double r, double g, double b, uint8_t drawnWhileCloaked);
    // Removes and deletes the first opponent with id, if any.
    void removeOpponent(int32_t id);
    // Turns every lobby entry into an opponent, switches to the game screen and starts
    // (mode 1 single player, 0 multi player). The caller stops its own music first.
    void enter(int mode);
    // Starts a game: labyrinth, car reset and placement, camera, callbacks, music, counters.
    void start(uint8_t singlePlayer);
    // Ends the game: announces LeaveGame, empties opponents and bombs, stops the game music.
    void end();
    // One 40 ms step of the simulation.
    void tick();
    // Draws one frame (camera, lights, world, cars, bombs, overlay, heads-up display).
    void render();

    // Applies one message received during a game (types 7 to 14); others are ignored.
    void dispatch(const uint8_t* message, size_t length);

    // Bomb actions of the local player.
    void dropBomb();
    void fireRemoteBombs();
    // Advances every bomb and retires the finished ones.
    void updateBombs();
    // Applies the flames of every exploded bomb to blocks and cars.
    void applyFlameEffects();
    // Sets off every remote bomb of player id (the player left or died).
    void detonateBombsOf(int32_t playerId);
    // Appends another player's bomb as a remote copy that waits for its owner's word.
    void addBombCopy(int32_t owner, int32_t number, int32_t range, Vector3 dropPoint,
                     Vector3 heading);
    // Sets off the first bomb with that owner and number; no match changes nothing.
    void explodeBomb(int32_t owner, int32_t number);
    // True when the local player is out (energy below 1).
    bool localDead() const;
    // True when at least one opponent took part in this game and none is left.
    bool won() const;

    int32_t startTicks = 0;
    int32_t endTicks = 0;
    int32_t turnInput = 0;
    int32_t moveInput = 0;
    Camera* camera;
    Lights* lights;
    World* world;
    Vehicle* localVehicle;
    List<Vehicle>* opponents;
    List<Bomb>* bombs;

  private:
    // Puts each single-player opponent on a free start place away from the others.
    void placeTargets();
    void pickUpItems();
    void localHit();

    bool opponentsTookPart_ = false;
};
