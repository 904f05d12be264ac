#include <gtest/gtest.h>

#include <GL/glu.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "support/gl_context.h"
#include "platform.h"
#include "random.h"
#include "vehicle.h"
#include "vehicle_model.h"

namespace {

const int kWidth = 640;
const int kHeight = 480;

struct Extent {
    double lo[3];
    double hi[3];
};

Extent meshExtent(const ModelMesh& m) {
    Extent e = {{1e9, 1e9, 1e9}, {-1e9, -1e9, -1e9}};
    for (int i = 0; i < m.vertexCount; ++i) {
        for (int k = 0; k < 3; ++k) {
            e.lo[k] = std::min(e.lo[k], static_cast<double>(m.vertices[i][k]));
            e.hi[k] = std::max(e.hi[k], static_cast<double>(m.vertices[i][k]));
        }
    }
    return e;
}

Vector3 vertex(const ModelMesh& m, int i) {
    return Vector3(m.vertices[i][0], m.vertices[i][1], m.vertices[i][2]);
}

// ---- Mesh tables -------------------------------------------------------------------------------

struct PartShape {
    int list;
    int vertices;
    int triangles;
    Extent extent;
};

const PartShape kParts[] = {
    {1, 5, 6, {{3.51, -21.61, 0.0}, {15.48, -14.24, 5.33}}},
    {2, 4, 4, {{3.51, -21.61, 0.64}, {15.48, -16.76, 7.24}}},
    {3, 4, 4, {{3.51, -26.81, 0.64}, {15.48, -21.61, 7.82}}},
    {4, 5, 6, {{3.51, -29.91, 0.64}, {15.48, -21.61, 6.24}}},
    {5, 98, 188, {{-4.25, -29.34, -1.52}, {-2.72, -24.11, 3.70}}},
};

TEST(VehicleModelTables, PartsHaveStatedCountsAndExtents) {
    for (const PartShape& part : kParts) {
        SCOPED_TRACE(::testing::Message() << "list " << part.list);
        const ModelMesh& m = vehicleModelMesh(part.list);
        EXPECT_EQ(m.vertexCount, part.vertices);
        EXPECT_EQ(m.triangleCount, part.triangles);
        Extent e = meshExtent(m);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(e.lo[k], part.extent.lo[k], 0.015) << "axis " << k;
            EXPECT_NEAR(e.hi[k], part.extent.hi[k], 0.015) << "axis " << k;
        }
    }
    EXPECT_EQ(vehicleModelMesh(0).triangleCount, 0);
    EXPECT_EQ(vehicleModelMesh(6).triangleCount, 0);
}

TEST(VehicleModelTables, BodyPartsShareMiddlePlane) {
    for (int list = 1; list <= 4; ++list) {
        Extent e = meshExtent(vehicleModelMesh(list));
        EXPECT_NEAR((e.lo[0] + e.hi[0]) / 2, 9.49, 0.01) << "list " << list;
    }
}

TEST(VehicleModelTables, WheelIsDiscAroundXAxis) {
    const ModelMesh& m = vehicleModelMesh(5);
    Extent e = meshExtent(m);
    double width = e.hi[0] - e.lo[0];
    EXPECT_NEAR(width, 1.5, 0.1);
    for (int i = 0; i < m.vertexCount; ++i) {
        double dy = m.vertices[i][1] - (-26.725);
        double dz = m.vertices[i][2] - 1.09;
        double r = std::sqrt(dy * dy + dz * dz);
        EXPECT_TRUE(r < 0.01 || std::fabs(r - 2.6) < 0.05) << "vertex " << i << " radius " << r;
    }
}

// Every part is convex, so an outward face normal points away from the part's centroid.
TEST(VehicleModelTables, FaceNormalsFromIndexOrderPointOutward) {
    for (int list = 1; list <= 5; ++list) {
        const ModelMesh& m = vehicleModelMesh(list);
        Vector3 centroid;
        for (int i = 0; i < m.vertexCount; ++i)
            centroid += vertex(m, i);
        centroid /= m.vertexCount;
        for (int t = 0; t < m.triangleCount; ++t) {
            Vector3 v0 = vertex(m, m.triangles[t][0]);
            Vector3 v1 = vertex(m, m.triangles[t][1]);
            Vector3 v2 = vertex(m, m.triangles[t][2]);
            Vector3 n = (v1 - v0).cross(v2 - v1);
            ASSERT_GT(n.length(), 1e-6) << "list " << list << " triangle " << t << " degenerate";
            Vector3 faceCentre = (v0 + v1 + v2) / 3.0;
            EXPECT_GT(n.dot(faceCentre - centroid), 0) << "list " << list << " triangle " << t;
        }
    }
}

// Closed and consistently wound: every edge, matched by corner position, is used once in each
// direction.
TEST(VehicleModelTables, MeshesAreClosedWithConsistentWinding) {
    typedef std::tuple<float, float, float> Corner;
    for (int list = 1; list <= 5; ++list) {
        const ModelMesh& m = vehicleModelMesh(list);
        std::map<std::pair<Corner, Corner>, int> edges;
        auto corner = [&](int i) {
            return Corner(m.vertices[i][0], m.vertices[i][1], m.vertices[i][2]);
        };
        for (int t = 0; t < m.triangleCount; ++t) {
            for (int k = 0; k < 3; ++k) {
                int a = m.triangles[t][k];
                int b = m.triangles[t][(k + 1) % 3];
                ASSERT_GE(a, 0);
                ASSERT_LT(a, m.vertexCount);
                edges[{corner(a), corner(b)}]++;
            }
        }
        for (const auto& edge : edges) {
            EXPECT_EQ(edge.second, 1) << "list " << list << ": directed edge used twice";
            auto reverse = edges.find({edge.first.second, edge.first.first});
            EXPECT_TRUE(reverse != edges.end()) << "list " << list << ": open edge";
        }
    }
}

// ---- Display lists and drawing ------------------------------------------------------------------

// Counts the polygons a display list sends, through GL feedback with nothing clipped or culled.
int countPolygons(GLuint list) {
    std::vector<GLfloat> buffer(200000);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-40, 40, -40, 40, -40, 40);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    GLint size = glRenderMode(GL_RENDER);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    int polygons = 0;
    for (GLint i = 0; i < size;) {
        GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            GLint n = static_cast<GLint>(buffer[i++]);
            i += n * 3;
            ++polygons;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN ||
                   token == GL_DRAW_PIXEL_TOKEN || token == GL_COPY_PIXEL_TOKEN) {
            i += 3;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 6;
        } else {
            i += 1;
        }
    }
    return polygons;
}

// A GL context with the model hook installed; lights off and full white ambient, so a lit face
// shows exactly its material's ambient colour.
class VehicleDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testgl::ensureContext(kWidth, kHeight);
        saved_ = platform;
        platform = PlatformHooks();
        platform.buildVehicleModel = buildVehicleModel;
        glClearColor(0, 0, 0, 0);
        glShadeModel(GL_SMOOTH);
        glFrontFace(GL_CCW);
        glEnable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        glDisable(GL_LIGHT0);
        glDisable(GL_FOG);
        const GLfloat white[4] = {1, 1, 1, 1};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white);
    }
    void TearDown() override {
        const GLfloat dim[4] = {0.2f, 0.2f, 0.2f, 1.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, dim);
        platform = saved_;
        setRandomSource(nullptr);
    }
    PlatformHooks saved_;
};

// The game's projection and a camera at 170 units over the unit position p, as the game sets it.
void lookFromAbove(Vector3 p) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(80.0, 1.3, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    Vector3 eye = p * 170.0;
    Vector3 target = p * 100.0;
    Vector3 up(0, 1, 0);
    if (std::fabs(p.y) > 0.9) up = Vector3(0, 0, 1);
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);
}

void clearFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

struct ScreenPoint {
    int x, y;
};

ScreenPoint project(Vector3 world) {
    GLdouble model[16], proj[16];
    GLint view[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, view);
    GLdouble sx, sy, sz;
    gluProject(world.x, world.y, world.z, model, proj, view, &sx, &sy, &sz);
    return {static_cast<int>(std::lround(sx)), static_cast<int>(std::lround(sy))};
}

bool isColour(testgl::Pixel p, int r, int g, int b) {
    return std::abs(p.r - r) <= 2 && std::abs(p.g - g) <= 2 && std::abs(p.b - b) <= 2;
}

bool isBackground(testgl::Pixel p) {
    return p.r == 0 && p.g == 0 && p.b == 0;
}

TEST_F(VehicleDrawTest, BuildCompilesSixListsWithStatedTriangles) {
    glDeleteLists(1, 6);
    for (GLuint id = 1; id <= 6; ++id)
        EXPECT_FALSE(glIsList(id));
    buildVehicleModel();
    for (GLuint id = 1; id <= 6; ++id)
        EXPECT_TRUE(glIsList(id)) << "list " << id;
    EXPECT_EQ(countPolygons(1), 6);
    EXPECT_EQ(countPolygons(2), 4);
    EXPECT_EQ(countPolygons(3), 4);
    EXPECT_EQ(countPolygons(4), 6);
    EXPECT_EQ(countPolygons(5), 188);
    EXPECT_EQ(countPolygons(6), 6 + 4 + 4 + 6 + 4 * 188);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(VehicleDrawTest, CarAtNorthPoleShowsItsColourUnderCamera) {
    Vehicle v;
    v.setColour(0.6, 0.1, 0.2);
    v.updateOrientation();
    lookFromAbove(Vector3(0, 0, 1));
    clearFrame();
    v.draw();
    auto px = testgl::readPixels(kWidth, kHeight);
    testgl::Pixel centre = testgl::pixelAt(px, kWidth, kWidth / 2, kHeight / 2);
    EXPECT_TRUE(isColour(centre, 153, 26, 51))
        << int(centre.r) << "," << int(centre.g) << "," << int(centre.b);
    EXPECT_TRUE(isBackground(testgl::pixelAt(px, kWidth, 10, 10)));
}

float depthAtCentre() {
    glFinish();
    float depth = 1.0f;
    glReadPixels(kWidth / 2, kHeight / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return depth;
}

TEST_F(VehicleDrawTest, CullingBackFacesKeepsTheCarsTopSurface) {
    // Outward faces wind counter-clockwise: culling back faces leaves the roof nearest the
    // camera, culling front faces leaves only the far (under) sides.
    Vehicle v;
    v.updateOrientation();
    lookFromAbove(Vector3(0, 0, 1));
    clearFrame();
    v.draw();
    float backCulled = depthAtCentre();
    clearFrame();
    glCullFace(GL_FRONT);
    v.draw();
    glCullFace(GL_BACK);
    float frontCulled = depthAtCentre();
    EXPECT_LT(backCulled, 1.0f);
    EXPECT_LT(backCulled, frontCulled);
}

TEST_F(VehicleDrawTest, CarIsTurnedToItsPlaceAndHeading) {
    Vehicle v;
    v.setColour(0.6, 0.1, 0.2);
    const Vector3 places[] = {Vector3(0.48, -0.6, 0.64), Vector3(-0.8, 0.36, -0.48),
                              Vector3(0, 0, 1)};
    const Vector3 across[] = {Vector3(0.2, 0.9, 0.1), Vector3(1, 0.3, -0.5),
                              Vector3(-0.7, -0.7, 0.1)};
    for (const Vector3& place : places) {
        for (const Vector3& d : across) {
            Vector3 p = place;
            p.normalize();
            Vector3 h = p.cross(d);
            h.normalize();
            v.setPosition(p);
            v.setHeading(h);
            v.updateOrientation();
            Vector3 travel = p.cross(h);
            lookFromAbove(p);
            clearFrame();
            v.draw();
            auto px = testgl::readPixels(kWidth, kHeight);
            auto at = [&](Vector3 offset) {
                ScreenPoint s = project(p * 100.0 + offset);
                return testgl::pixelAt(px, kWidth, s.x, s.y);
            };
            SCOPED_TRACE(::testing::Message() << "place " << p.x << "," << p.y << "," << p.z
                                              << " heading " << h.x << "," << h.y << "," << h.z);
            // The body reaches about 6.3 each way along the line of travel and 4.8 each way
            // along the heading.
            EXPECT_FALSE(isBackground(at(travel * 4.5)));
            EXPECT_FALSE(isBackground(at(travel * -4.5)));
            EXPECT_FALSE(isBackground(at(h * 3.0)));
            EXPECT_FALSE(isBackground(at(h * -3.0)));
            EXPECT_TRUE(isBackground(at(h * 7.0)));
            EXPECT_TRUE(isBackground(at(h * -7.0)));
            EXPECT_TRUE(isBackground(at(travel * 8.5)));
            EXPECT_TRUE(isBackground(at(travel * -8.5)));
        }
    }
}

TEST_F(VehicleDrawTest, CloakedOpponentIsInvisibleAndCloakedLocalCarShows) {
    Vehicle opponent;
    opponent.setColour(0.6, 0.1, 0.2);
    opponent.updateOrientation();
    opponent.setCloak(1);
    lookFromAbove(Vector3(0, 0, 1));
    clearFrame();
    opponent.draw();
    auto px = testgl::readPixels(kWidth, kHeight);
    for (const testgl::Pixel& p : px)
        ASSERT_TRUE(isBackground(p));

    Vehicle local;
    local.setColour(0.6, 0.1, 0.2);
    local.updateOrientation();
    local.setCloak(1);
    local.setDrawnWhileCloaked(1);
    clearFrame();
    local.draw();
    px = testgl::readPixels(kWidth, kHeight);
    EXPECT_TRUE(isColour(testgl::pixelAt(px, kWidth, kWidth / 2, kHeight / 2), 153, 26, 51));
}

TEST_F(VehicleDrawTest, OlderCarsStayDrawableAfterNewCarsRebuildTheModel) {
    Vehicle first;
    first.setColour(0.1, 0.5, 0.3);
    first.updateOrientation();
    Vehicle second;
    Vehicle third;
    lookFromAbove(Vector3(0, 0, 1));
    clearFrame();
    first.draw();
    auto px = testgl::readPixels(kWidth, kHeight);
    EXPECT_TRUE(isColour(testgl::pixelAt(px, kWidth, kWidth / 2, kHeight / 2), 26, 128, 77));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// ---- The game's view ----------------------------------------------------------------------------

void writePng(const char* path, const std::vector<testgl::Pixel>& px, int w, int h) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(w) * 3);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const testgl::Pixel& p = px[static_cast<size_t>(y) * w + x];
            row[x * 3] = p.r;
            row[x * 3 + 1] = p.g;
            row[x * 3 + 2] = p.b;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

// The game's view state, light 0 over the local car and the planet as a plain sphere.
void drawGameScene(Vector3 localPosition, Vector3 eyeDirection, int count, Vehicle* const* list) {
    glClearColor(0.5f, 0.5f, 0.9f, 0.0f);
    glShadeModel(GL_SMOOTH);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    const GLfloat dim[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, dim);
    const GLfloat diffuse[4] = {0.6f, 0.5f, 0.5f, 1.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 0.06f);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.01f);
    glEnable(GL_LIGHT0);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(80.0, 1.3, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    Vector3 eye = eyeDirection;
    eye.normalize();
    eye *= 170.0;
    Vector3 target = localPosition * 100.0;
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0, 1, 0);
    Vector3 light = target * 2.0;
    const GLfloat lightPosition[4] = {static_cast<GLfloat>(light.x), static_cast<GLfloat>(light.y),
                                      static_cast<GLfloat>(light.z), 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const GLfloat ground[4] = {0.35f, 0.45f, 0.3f, 1.0f};
    const GLfloat black[4] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT, GL_AMBIENT, ground);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, ground);
    glMaterialfv(GL_FRONT, GL_SPECULAR, black);
    glutSolidSphere(100.0, 96, 96);
    for (int i = 0; i < count; ++i)
        list[i]->draw();
}

// Places a car at an angle offset from the pole, heading turned by the given degrees.
void placeCar(Vehicle& v, double east, double north, double turnDegrees) {
    Vector3 p(east, north, 1.0);
    p.normalize();
    Vector3 h(0, 1, 0);
    h = h - p * h.dot(p);
    h.normalize();
    h.rotateAround(turnDegrees * 3.141592653589793 / 180.0, p);
    v.setPosition(p);
    v.setHeading(h);
    v.updateOrientation();
}

TEST_F(VehicleDrawTest, CarsShowOnThePlanetUnderTheGameLight) {
    Vehicle a, b, c, d;
    a.setColour(0.6, 0.05, 0.05);
    b.setColour(0.05, 0.2, 0.6);
    c.setColour(0.6, 0.5, 0.0);
    d.setColour(0.05, 0.45, 0.1);
    placeCar(a, 0.0, 0.0, 0.0);
    placeCar(b, 0.22, 0.12, 35.0);
    placeCar(c, -0.2, 0.15, -70.0);
    placeCar(d, 0.05, -0.22, 120.0);
    Vehicle* cars[] = {&a, &b, &c, &d};

    const Vector3 views[] = {Vector3(0, 0, 1), Vector3(0.12, -0.16, 1)};
    for (int view = 0; view < 2; ++view) {
        drawGameScene(Vector3(0, 0, 1), views[view], 0, cars);
        auto bare = testgl::readPixels(kWidth, kHeight);
        drawGameScene(Vector3(0, 0, 1), views[view], 4, cars);
        auto px = testgl::readPixels(kWidth, kHeight);
        for (Vehicle* car : cars) {
            ScreenPoint s = project(car->position() * 100.0);
            testgl::Pixel with = testgl::pixelAt(px, kWidth, s.x, s.y);
            testgl::Pixel without = testgl::pixelAt(bare, kWidth, s.x, s.y);
            EXPECT_FALSE(with.r == without.r && with.g == without.g && with.b == without.b)
                << "car at " << s.x << "," << s.y << " not visible in view " << view;
        }
        const char* dir = std::getenv("CORVANE_SHOT_DIR");
        if (dir) {
            std::string path =
                std::string(dir) + (view == 0 ? "/vehicle.png" : "/vehicle_tilt.png");
            writePng(path.c_str(), px, kWidth, kHeight);
        }
    }
    glDisable(GL_LIGHT0);
}

} // namespace
