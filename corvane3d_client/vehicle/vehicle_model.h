// The car model's mesh tables: four body parts and one wheel, each a closed faceted mesh whose
// triangles wind counter-clockwise seen from outside.
#pragma once

struct ModelMesh {
    const float (*vertices)[3];
    int vertexCount;
    const int (*triangles)[3];
    int triangleCount;
};

// Display list ids of the model: 1 to 4 the body parts, 5 the wheel, 6 the whole car.
enum VehicleModelList {
    kListRearDeck = 1,
    kListRearGlass = 2,
    kListRoof = 3,
    kListNose = 4,
    kListWheel = 5,
    kListVehicle = 6
};

// Returns the mesh compiled into display list id 1 to 5; any other id yields an empty mesh.
const ModelMesh& vehicleModelMesh(int listId);
