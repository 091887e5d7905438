// Mesh: the one container for triangle geometry. A rest copy of the vertices (written by the
// generators), a working copy (restored, deformed, uploaded and drawn every frame), 16-bit triangle-list
// indices and the Direct3D buffers that mirror them. Generators for the box and the tube, smooth
// normals, the pulsing deformer and the tunnel shaping. Draws set no render state, texture or transform.
#pragma once

#include <cstdint>

#include "compat/d3d8/d3d8.h"
#include "engine3d/matrix4.h"
#include "engine3d/vec3.h"

class SpriteBatch;

// D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1.
constexpr DWORD MESH_FVF = 0x152;

struct MeshVertex {
  Vec3 position;
  Vec3 normal;
  uint32_t color;  // A8R8G8B8
  float u;
  float v;
};
static_assert(sizeof(MeshVertex) == 36);

class Mesh {
 public:
  Mesh();
  virtual ~Mesh();
  Mesh(const Mesh&) = delete;
  Mesh& operator=(const Mesh&) = delete;

  // Both vertex arrays (contents undefined) and a managed write-only vertex buffer of count vertices.
  void allocateVertices(int count);
  // The index array and a managed write-only 16-bit index buffer of count indices.
  void allocateIndices(int count);
  void restoreVertices();  // working copy = rest copy; nothing without arrays
  void uploadVertices();   // whole working copy into the vertex buffer
  void uploadIndices();
  void draw();        // indexed triangle list; nothing while not visible
  void drawPoints();  // every working vertex as a point; nothing while not visible
  void release();     // buffers released, arrays freed, counts zero

  // rows x columns quads, two triangles each. A wrapped grid reuses column 0 after the last column.
  static void writeGridIndices(uint16_t* destination, int firstVertex, int columns, int rows, bool wrap);
  // (rows + 1) rows of vertices: a flat grid (columns + 1 per row) at the given height, optionally
  // transformed (a pure rotation), or an open cylinder of radius 0.5 (columns per row, height ignored).
  static void writeGridVertices(MeshVertex* destination, int columns, int rows, float height,
                                const Matrix4* transform, bool cylinder);
  void buildBox(int n);                    // unit cube of six flat n x n faces, edges duplicated
  void buildTube(int segments, int rings);  // open cylinder, radius 0.5, height 1, around Y

  void computeNormals();  // smooth area-weighted normals of the working vertices
  void pulsate(float t);  // radial breathing of the working positions at time t
  // Re-shapes the working vertices into the tunnel rings for `time`, adds the dust sprites and writes
  // the eye on the centre line and a trailing look direction.
  void shapeTunnel(float time, Vec3& eyeOut, Vec3& lookOut, int segments, int rings, float sign,
                   SpriteBatch& sprites);

  MeshVertex* baseVertices;
  MeshVertex* vertices;
  int32_t vertexCount;
  int32_t indexCount;
  uint16_t* indices;
  IDirect3DVertexBuffer8* vertexBuffer;
  IDirect3DIndexBuffer8* indexBuffer;
  bool visible;

 private:
  void releaseVertices();
  void releaseIndices();
};
