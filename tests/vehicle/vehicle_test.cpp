#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform.h"
#include "random.h"
#include "vehicle.h"

namespace {

const double kPi = 3.141592653589793;

std::vector<int> samples;
void recordSample(int n) {
    samples.push_back(n);
}

std::vector<int> randomValues;
size_t randomIndex = 0;
int scriptedRandom() {
    return randomValues[randomIndex++ % randomValues.size()];
}

// Isolates each test from hooks and random sources left by others.
class VehicleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = platform;
        platform = PlatformHooks();
        platform.playSample = recordSample;
        samples.clear();
    }
    void TearDown() override {
        platform = saved_;
        setRandomSource(nullptr);
    }
    void scriptRandom(std::vector<int> values) {
        randomValues = std::move(values);
        randomIndex = 0;
        setRandomSource(scriptedRandom);
    }
    PlatformHooks saved_;
};

void expectNear(const Vector3& a, const Vector3& b, double eps = 1e-9) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

// Applies the drawing's rotations (about +Y by longitude, about -X by latitude, about +Z by yaw)
// to a vector of the model frame.
Vector3 toWorld(const Vehicle& v, Vector3 model) {
    model.rotateZ(v.yaw());
    model.rotateX(-v.latitude());
    model.rotateY(v.longitude());
    return model;
}

Vector3 unit(double x, double y, double z) {
    Vector3 v(x, y, z);
    v.normalize();
    return v;
}

TEST_F(VehicleTest, NewVehicleHasDefaultCountersAndPlace) {
    Vehicle v;
    EXPECT_EQ(v.bombsAvailable(), 3);
    EXPECT_EQ(v.bombCapacity(), 3);
    EXPECT_EQ(v.flameRange(), 3);
    EXPECT_EQ(v.energy(), 5);
    EXPECT_EQ(v.speed(), 3);
    EXPECT_EQ(v.id(), 1);
    EXPECT_EQ(v.remoteControl(), 0);
    EXPECT_EQ(v.cloak(), 0);
    EXPECT_EQ(v.drawnWhileCloaked(), 0);
    EXPECT_EQ(v.position(), Vector3(0, 0, 1));
    EXPECT_EQ(v.heading(), Vector3(0, 1, 0));
    EXPECT_TRUE(samples.empty());
}

TEST_F(VehicleTest, ConstructorTakesColourFromRandomSourceAndBuildsModel) {
    static int builds = 0;
    builds = 0;
    platform.buildVehicleModel = [] { ++builds; };
    scriptRandom({0, 32767, 9830});
    Vehicle v;
    EXPECT_EQ(builds, 1);
    EXPECT_FLOAT_EQ(v.ambient()[0], 0.0f);
    EXPECT_FLOAT_EQ(v.ambient()[1], static_cast<float>(32767 / 49150.5));
    EXPECT_FLOAT_EQ(v.ambient()[2], static_cast<float>(9830 / 49150.5));
    EXPECT_FLOAT_EQ(v.ambient()[3], 1.0f);
    Vehicle second;
    EXPECT_EQ(builds, 2);
}

TEST_F(VehicleTest, SetColourDerivesDiffuseAndSpecularWithoutClamping) {
    Vehicle v;
    v.setColour(0.5, 0.9, 0.0);
    const float expectAmbient[4] = {0.5f, 0.9f, 0.0f, 1.0f};
    const float expectDiffuse[4] = {0.7f, 1.1f, 0.2f, 1.0f};
    const float expectSpecular[4] = {0.86f, 1.26f, 0.36f, 1.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(v.ambient()[i], expectAmbient[i]);
        EXPECT_FLOAT_EQ(v.diffuse()[i], expectDiffuse[i]);
        EXPECT_FLOAT_EQ(v.specular()[i], expectSpecular[i]);
    }
}

TEST_F(VehicleTest, RandomStartStaysOnGreatCircleYZeroWithUnitLength) {
    Vehicle v;
    for (int i = 0; i < 50; ++i) {
        v.randomStart();
        Vector3 p = v.position();
        EXPECT_EQ(p.y, 0.0);
        EXPECT_NEAR(p.length(), 1.0, 1e-12);
    }
    EXPECT_EQ(v.heading(), Vector3(0, 1, 0));
}

TEST_F(VehicleTest, RandomStartUsesWholeDegreesFromRandomSource) {
    Vehicle v;
    scriptRandom({450, 180});
    v.randomStart(); // 450 mod 360 = 90 degrees
    expectNear(v.position(), Vector3(1, 0, 0));
    v.randomStart();
    expectNear(v.position(), Vector3(0, 0, -1));
}

TEST_F(VehicleTest, OrientationAtNorthPoleGivesZeroAnglesAndFootprint) {
    Vehicle v;
    v.updateOrientation();
    EXPECT_EQ(v.longitude(), 0.0);
    EXPECT_EQ(v.latitude(), 0.0);
    EXPECT_EQ(v.yaw(), 0.0);
    const Vector3* a = v.footprintA();
    EXPECT_EQ(a[0], Vector3(-4, 5, 1));
    EXPECT_EQ(a[1], Vector3(4, 5, 1));
    EXPECT_EQ(a[2], Vector3(4, -5, 1));
    const Vector3* b = v.footprintB();
    EXPECT_EQ(b[0], Vector3(-4, 5, 1));
    EXPECT_EQ(b[1], Vector3(4, -5, 1));
    EXPECT_EQ(b[2], Vector3(-4, -5, 1));
}

TEST_F(VehicleTest, DrawingRotationsCarryModelAxesOntoPositionAndHeading) {
    struct Place {
        Vector3 position;
        Vector3 heading;
    };
    // Headings are made tangent by crossing the position with an arbitrary direction.
    std::vector<Place> places;
    const Vector3 positions[] = {unit(0, 0, 1),         unit(1, 0, 0),        unit(0.3, 0.5, 0.8),
                                 unit(-0.6, 0.2, -0.7), unit(0.1, -0.9, 0.2), unit(-1, 0, 0),
                                 unit(0, 0, -1),        unit(0.5, 0.5, -0.1), unit(0, 1, 0),
                                 unit(0, -1, 0)};
    const Vector3 across[] = {unit(1, 0, 0), unit(0, 1, 0), unit(0, 0, 1), unit(1, 1, 0),
                              unit(-1, 0.3, 0.2)};
    for (const Vector3& p : positions) {
        for (const Vector3& d : across) {
            Vector3 h = p.cross(d);
            if (h.length() < 1e-3) continue;
            h.normalize();
            places.push_back({p, h});
            places.push_back({p, h * -1.0});
        }
    }
    Vehicle v;
    for (const Place& place : places) {
        v.setPosition(place.position);
        v.setHeading(place.heading);
        v.updateOrientation();
        SCOPED_TRACE(::testing::Message()
                     << "position " << place.position.x << "," << place.position.y << ","
                     << place.position.z << " heading " << place.heading.x << "," << place.heading.y
                     << "," << place.heading.z);
        expectNear(toWorld(v, Vector3(0, 0, 1)), place.position, 1e-9);
        expectNear(toWorld(v, Vector3(0, 1, 0)), place.heading, 1e-9);
    }
}

TEST_F(VehicleTest, FootprintTurnsWithPlaceAndHeading) {
    // The north-pole footprint, carried to another place and heading, must answer the same for the
    // correspondingly carried points.
    Vehicle pole;
    pole.updateOrientation();
    const Vector3 poleTravel(-1, 0, 0);
    const Vector3 poleHeading(0, 1, 0);

    Vehicle v;
    Vector3 p = unit(0.3, -0.4, 0.8);
    Vector3 h = p.cross(Vector3(1, 2, 0));
    h.normalize();
    v.setPosition(p);
    v.setHeading(h);
    v.updateOrientation();
    Vector3 travel = p.cross(h);

    int hits = 0, misses = 0;
    for (double u = -6.13; u < 6.2; u += 0.41) {
        for (double w = -6.07; w < 6.2; w += 0.43) {
            bool expected = pole.isHitBy(Vector3(0, 0, 102) + poleTravel * u + poleHeading * w);
            EXPECT_EQ(v.isHitBy(p * 102.0 + travel * u + h * w), expected) << u << " " << w;
            (expected ? hits : misses)++;
        }
    }
    EXPECT_GT(hits, 100);
    EXPECT_GT(misses, 100);
}

TEST_F(VehicleTest, FootprintReachesFourAlongTravelAndFiveAlongHeading) {
    Vehicle v;
    v.updateOrientation();
    EXPECT_TRUE(v.isHitBy(Vector3(3.9, 0, 102)));
    EXPECT_TRUE(v.isHitBy(Vector3(-3.9, 0, 102)));
    EXPECT_TRUE(v.isHitBy(Vector3(0.1, 4.9, 102)));
    EXPECT_TRUE(v.isHitBy(Vector3(-0.1, -4.9, 102)));
    EXPECT_FALSE(v.isHitBy(Vector3(4.1, 0.1, 102)));
    EXPECT_FALSE(v.isHitBy(Vector3(0.1, 5.1, 102)));
    EXPECT_FALSE(v.isHitBy(Vector3(-0.1, -5.1, 102)));
}

TEST_F(VehicleTest, HitTestAtNorthPoleExamples) {
    Vehicle v;
    v.updateOrientation();
    EXPECT_TRUE(v.isHitBy(Vector3(1, 0, 102)));
    EXPECT_TRUE(v.isHitBy(Vector3(3.9, 4.9, 102)));
    EXPECT_FALSE(v.isHitBy(Vector3(4.5, 0, 102)));
    EXPECT_FALSE(v.isHitBy(Vector3(0, 0, 102)));
}

TEST_F(VehicleTest, FlameOnFarSideOfPlanetDoesNotHit) {
    Vehicle v;
    v.updateOrientation();
    EXPECT_FALSE(v.isHitBy(Vector3(-1, 0, -102)));
    EXPECT_FALSE(v.isHitBy(Vector3(1, 0, -102)));
    EXPECT_FALSE(v.isHitBy(Vector3(3.9, 4.9, -102)));
    EXPECT_FALSE(v.isHitBy(Vector3(1, 0, 0)));
}

TEST_F(VehicleTest, BombItemsRaiseCapacityUpToTen) {
    Vehicle v;
    v.setBombCapacity(8);
    v.setBombsAvailable(5);
    v.pickUpItem(1);
    EXPECT_EQ(v.bombCapacity(), 9);
    EXPECT_EQ(v.bombsAvailable(), 6);
    v.pickUpItem(1);
    EXPECT_EQ(v.bombCapacity(), 10);
    EXPECT_EQ(v.bombsAvailable(), 7);
    for (int i = 0; i < 3; ++i)
        v.pickUpItem(1);
    EXPECT_EQ(v.bombCapacity(), 10);
    EXPECT_EQ(v.bombsAvailable(), 7);
    EXPECT_EQ(samples, std::vector<int>(5, kSampleItemPickup));
}

TEST_F(VehicleTest, RangeItemsStopAtEightAndLeaveRemoteControl) {
    Vehicle v;
    for (int i = 0; i < 7; ++i)
        v.pickUpItem(3);
    EXPECT_EQ(v.flameRange(), 8);
    EXPECT_EQ(v.remoteControl(), 0);
}

TEST_F(VehicleTest, RemoteControlItemsToggle) {
    Vehicle v;
    v.pickUpItem(4);
    EXPECT_EQ(v.remoteControl(), 1);
    v.pickUpItem(4);
    EXPECT_EQ(v.remoteControl(), 0);
    v.setRemoteControl(7);
    v.pickUpItem(4);
    EXPECT_EQ(v.remoteControl(), 0);
}

TEST_F(VehicleTest, CloakItemsToggle) {
    Vehicle v;
    v.pickUpItem(5);
    EXPECT_EQ(v.cloak(), 1);
    v.pickUpItem(5);
    EXPECT_EQ(v.cloak(), 0);
}

TEST_F(VehicleTest, SpeedAndSlowItemsStayWithinOneToFive) {
    Vehicle v;
    for (int i = 0; i < 4; ++i)
        v.pickUpItem(6);
    EXPECT_EQ(v.speed(), 5);
    for (int i = 0; i < 6; ++i)
        v.pickUpItem(7);
    EXPECT_EQ(v.speed(), 1);
    v.pickUpItem(6);
    EXPECT_EQ(v.speed(), 2);
}

TEST_F(VehicleTest, PowerItemAddsEnergyAndPlaysBothSamples) {
    Vehicle v;
    v.setEnergy(2);
    samples.clear();
    v.pickUpItem(2);
    EXPECT_EQ(v.energy(), 3);
    EXPECT_EQ(samples, (std::vector<int>{kSampleWhoosh, kSampleItemPickup}));
    samples.clear();
    v.setEnergy(5);
    samples.clear();
    v.pickUpItem(2);
    EXPECT_EQ(v.energy(), 5);
    EXPECT_EQ(samples, (std::vector<int>{kSampleWhoosh, kSampleItemPickup}));
}

TEST_F(VehicleTest, UnknownItemOnlyPlaysPickupSample) {
    Vehicle v;
    v.pickUpItem(0);
    v.pickUpItem(8);
    v.pickUpItem(-3);
    EXPECT_EQ(v.bombCapacity(), 3);
    EXPECT_EQ(v.bombsAvailable(), 3);
    EXPECT_EQ(v.flameRange(), 3);
    EXPECT_EQ(v.energy(), 5);
    EXPECT_EQ(v.speed(), 3);
    EXPECT_EQ(v.remoteControl(), 0);
    EXPECT_EQ(v.cloak(), 0);
    EXPECT_EQ(samples, std::vector<int>(3, kSampleItemPickup));
}

TEST_F(VehicleTest, SetEnergyClampsAndPlaysEnergySampleOnlyOnChange) {
    Vehicle v;
    v.setEnergy(5);
    EXPECT_TRUE(samples.empty());
    v.setEnergy(9);
    EXPECT_EQ(v.energy(), 5);
    EXPECT_EQ(samples, std::vector<int>{kSampleWhoosh});
    v.setEnergy(-1);
    EXPECT_EQ(v.energy(), 0);
    EXPECT_EQ(samples, std::vector<int>(2, kSampleWhoosh));
    v.setEnergy(-1);
    EXPECT_EQ(v.energy(), 0);
    EXPECT_EQ(samples, std::vector<int>(3, kSampleWhoosh));
    v.setEnergy(0);
    EXPECT_EQ(samples.size(), 3u);
}

TEST_F(VehicleTest, SetBombsAvailableClampsOnlyFromAbove) {
    Vehicle v;
    v.setBombsAvailable(7);
    EXPECT_EQ(v.bombsAvailable(), 3);
    v.setBombsAvailable(-2);
    EXPECT_EQ(v.bombsAvailable(), -2);
    v.setBombCapacity(6);
    v.setBombsAvailable(6);
    EXPECT_EQ(v.bombsAvailable(), 6);
}

TEST_F(VehicleTest, NullSampleHookIsSafe) {
    platform.playSample = nullptr;
    Vehicle v;
    v.setEnergy(1);
    v.pickUpItem(5);
    EXPECT_EQ(v.energy(), 1);
    EXPECT_EQ(v.cloak(), 1);
}

} // namespace
