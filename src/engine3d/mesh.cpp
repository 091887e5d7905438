#include "engine3d/mesh.h"

#include <cstring>

#include "platform/graphics.h"

Mesh::Mesh()
    : baseVertices(nullptr),
      vertices(nullptr),
      vertexCount(0),
      indexCount(0),
      indices(nullptr),
      vertexBuffer(nullptr),
      indexBuffer(nullptr),
      visible(false) {}

Mesh::~Mesh() { release(); }

void Mesh::allocateVertices(int count) {
  releaseVertices();
  vertexCount = count;
  baseVertices = new MeshVertex[count];
  vertices = new MeshVertex[count];
  g_device->CreateVertexBuffer(static_cast<UINT>(count) * sizeof(MeshVertex), D3DUSAGE_WRITEONLY, MESH_FVF,
                               D3DPOOL_MANAGED, &vertexBuffer);
}

void Mesh::allocateIndices(int count) {
  releaseIndices();
  indexCount = count;
  indices = new uint16_t[count];
  g_device->CreateIndexBuffer(static_cast<UINT>(count) * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                              D3DPOOL_MANAGED, &indexBuffer);
}

void Mesh::restoreVertices() {
  if (vertices == nullptr || baseVertices == nullptr) return;
  std::memcpy(vertices, baseVertices, static_cast<size_t>(vertexCount) * sizeof(MeshVertex));
}

namespace {

// Locks the whole buffer and copies `length` bytes in; a failed lock copies nothing.
template <class Buffer>
void fillBuffer(Buffer* buffer, const void* source, UINT length) {
  if (buffer == nullptr) return;
  BYTE* data = nullptr;
  if (FAILED(buffer->Lock(0, length, &data, 0))) return;
  std::memcpy(data, source, length);
  buffer->Unlock();
}

}  // namespace

void Mesh::uploadVertices() {
  fillBuffer(vertexBuffer, vertices, static_cast<UINT>(vertexCount) * sizeof(MeshVertex));
}

void Mesh::uploadIndices() { fillBuffer(indexBuffer, indices, static_cast<UINT>(indexCount) * sizeof(uint16_t)); }

void Mesh::draw() {
  if (!visible) return;
  g_device->SetVertexShader(MESH_FVF);
  g_device->SetIndices(indexBuffer, 0);
  g_device->SetStreamSource(0, vertexBuffer, sizeof(MeshVertex));
  g_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertexCount), 0,
                                 static_cast<UINT>(indexCount / 3));
}

void Mesh::drawPoints() {
  if (!visible) return;
  g_device->SetVertexShader(MESH_FVF);
  g_device->SetStreamSource(0, vertexBuffer, sizeof(MeshVertex));
  g_device->DrawPrimitive(D3DPT_POINTLIST, 0, static_cast<UINT>(vertexCount));
}

void Mesh::releaseVertices() {
  if (vertexBuffer != nullptr) vertexBuffer->Release();
  vertexBuffer = nullptr;
  delete[] baseVertices;
  delete[] vertices;
  baseVertices = vertices = nullptr;
  vertexCount = 0;
}

void Mesh::releaseIndices() {
  if (indexBuffer != nullptr) indexBuffer->Release();
  indexBuffer = nullptr;
  delete[] indices;
  indices = nullptr;
  indexCount = 0;
}

void Mesh::release() {
  releaseVertices();
  releaseIndices();
}

void Mesh::writeGridIndices(uint16_t* destination, int firstVertex, int columns, int rows, bool wrap) {
  const int d = wrap ? columns : columns + 1;
  int s = firstVertex;
  for (int i = 0; i < rows; ++i, s += d) {
    const int e = s + d;
    for (int j = 0; j < columns; ++j) {
      const int k = (j + 1) % d;
      const int quad[6] = {s + j, s + k, e + k, s + j, e + k, e + j};
      for (int q : quad) *destination++ = static_cast<uint16_t>(q);
    }
  }
}

void Mesh::writeGridVertices(MeshVertex* destination, int columns, int rows, float height,
                             const Matrix4* transform, bool cylinder) {
  const int perRow = cylinder ? columns : columns + 1;
  Vec3 flatNormal{0.0f, 1.0f, 0.0f};
  if (transform != nullptr) flatNormal = flatNormal.transformCoord(*transform);
  for (int i = 0; i <= rows; ++i) {
    const float v = static_cast<float>(i) / static_cast<float>(rows);
    for (int j = 0; j < perRow; ++j) {
      const float u = static_cast<float>(j) / static_cast<float>(columns);
      MeshVertex& vertex = *destination++;
      if (cylinder) {
        const float a = u * 6.2831855f;
        vertex.position = {cosOf(a) * 0.5f, v - 0.5f, sinOf(a) * 0.5f};
        vertex.normal = vertex.position.normalized();
      } else {
        vertex.position = {u - 0.5f, height, v - 0.5f};
        if (transform != nullptr) vertex.position = vertex.position.transformCoord(*transform);
        vertex.normal = flatNormal;
      }
      vertex.color = 0xFFFFFFFF;
      vertex.u = 1.0f - u;
      vertex.v = v;
    }
  }
}

void Mesh::buildBox(int n) {
  visible = true;
  const int perFace = (n + 1) * (n + 1);
  allocateVertices(6 * perFace);
  allocateIndices(36 * n * n);
  for (int k = 0; k < 6; ++k) writeGridIndices(indices + k * 6 * n * n, k * perFace, n, n, false);

  // Faces 0..3: the y = +0.5 patch turned onto z = +0.5, then about Y in quarter turns.
  Matrix4 tilt, turn, transform;
  tilt.setRotationX(1.5707964f);
  float angle = 0.0f;
  for (int k = 0; k < 4; ++k) {
    turn.setRotationY(angle);
    transform = tilt.multiply(turn);
    writeGridVertices(baseVertices + k * perFace, n, n, 0.5f, &transform, false);
    angle += 1.5707964f;
  }
  writeGridVertices(baseVertices + 4 * perFace, n, n, 0.5f, nullptr, false);
  transform.setRotationZ(3.1415927f);
  writeGridVertices(baseVertices + 5 * perFace, n, n, 0.5f, &transform, false);

  restoreVertices();
  uploadVertices();
  uploadIndices();
}

void Mesh::buildTube(int segments, int rings) {
  visible = true;
  allocateVertices(segments * (rings + 1));
  allocateIndices(segments * rings * 6);
  writeGridIndices(indices, 0, segments, rings, true);
  writeGridVertices(baseVertices, segments, rings, 0.0f, nullptr, true);
  restoreVertices();
  uploadVertices();
  uploadIndices();
}
