#include <GL/gl.h>

#include "vector3.h"
#include "vehicle.h"
#include "vehicle_model.h"

namespace {
const double kRadiansToDegrees = 180.0 / 3.141592653589793;

void compileMesh(int listId) {
    const ModelMesh& mesh = vehicleModelMesh(listId);
    glNewList(listId, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (int t = 0; t < mesh.triangleCount; ++t) {
        const float* v0 = mesh.vertices[mesh.triangles[t][0]];
        const float* v1 = mesh.vertices[mesh.triangles[t][1]];
        const float* v2 = mesh.vertices[mesh.triangles[t][2]];
        Vector3 e1(v1[0] - v0[0], v1[1] - v0[1], v1[2] - v0[2]);
        Vector3 e2(v2[0] - v1[0], v2[1] - v1[1], v2[2] - v1[2]);
        Vector3 n = e1.cross(e2);
        n.normalize();
        glNormal3f(static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z));
        glVertex3fv(v0);
        glVertex3fv(v1);
        glVertex3fv(v2);
    }
    glEnd();
    glEndList();
}

void compileAssembly() {
    const GLfloat grey[4] = {0.4f, 0.4f, 0.4f, 1.0f};
    const GLfloat greySpecular[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    glNewList(kListVehicle, GL_COMPILE);
    glPushMatrix();
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);

    glPushMatrix();
    glTranslatef(-9.49469f, 22.0751f, 1.211f);
    glCallList(kListRearDeck);
    glCallList(kListRoof);
    glCallList(kListNose);
    glMaterialfv(GL_FRONT, GL_AMBIENT, grey);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, grey);
    glMaterialfv(GL_FRONT, GL_SPECULAR, greySpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, 5.0f);
    glCallList(kListRearGlass);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(-2.52978f, 22.0751f, 1.211f);
    glCallList(kListWheel);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(9.4432f, 22.0751f, 1.211f);
    glCallList(kListWheel);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(7.48246f, 22.160812f, 0.30183f);
    glScalef(0.649351f, 0.649351f, 0.649351f);
    glCallList(kListWheel);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(-2.9f, 22.160812f, 0.30183f);
    glScalef(0.649351f, 0.649351f, 0.649351f);
    glCallList(kListWheel);
    glPopMatrix();

    glPopMatrix();
    glEndList();
}
} // namespace

void buildVehicleModel() {
    for (int id = kListRearDeck; id <= kListWheel; ++id)
        compileMesh(id);
    compileAssembly();
}

void Vehicle::draw() const {
    if (cloak_ == 1 && drawnWhileCloaked_ == 0) return;
    glPushMatrix();
    if (longitude_ != 0) glRotated(longitude_ * kRadiansToDegrees, 0.0, 1.0, 0.0);
    if (latitude_ != 0) glRotated(latitude_ * kRadiansToDegrees, -1.0, 0.0, 0.0);
    if (yaw_ != 0) glRotated(yaw_ * kRadiansToDegrees, 0.0, 0.0, 1.0);
    glTranslatef(0.0f, 0.0f, 100.0f);
    glScalef(0.8f, 0.8f, 0.8f);
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient_);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse_);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular_);
    glMaterialf(GL_FRONT, GL_SHININESS, 1.0f);
    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_NORMALIZE);
    glCallList(kListVehicle);
    glPopAttrib();
    glPopMatrix();
}
