// Meshes: the generators' counts and layout (box faces facing outwards, the tube's wrapped seam), what
// the uploads put in the device's buffers, the draws of an ungenerated mesh, smooth normals on a single
// triangle, and the pulsing's worked values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine3d/mesh.h"
#include "engine_fixture.h"
#include "expect_vec.h"

namespace {

using MeshTest = EngineDeviceTest;

// A mesh holding one triangle with the given corners, in index order 0, 1, 2.
void makeTriangle(Mesh& mesh, Vec3 a, Vec3 b, Vec3 c) {
  mesh.allocateVertices(3);
  mesh.allocateIndices(3);
  const Vec3 corners[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    mesh.vertices[i] = MeshVertex{corners[i], Vec3{}, 0xFFFFFFFF, 0.0f, 0.0f};
    mesh.indices[i] = static_cast<uint16_t>(i);
  }
}

}  // namespace

TEST_F(MeshTest, GeneratorsGiveTheirVertexAndIndexCounts) {
  Mesh box10, box1, tube;
  box10.buildBox(10);
  EXPECT_EQ(box10.vertexCount, 726);
  EXPECT_EQ(box10.indexCount, 3600);
  box1.buildBox(1);
  EXPECT_EQ(box1.vertexCount, 24);
  EXPECT_EQ(box1.indexCount, 36);
  tube.buildTube(40, 40);
  EXPECT_EQ(tube.vertexCount, 1640);
  EXPECT_EQ(tube.indexCount, 9600);
  for (Mesh* mesh : {&box10, &box1, &tube}) {
    EXPECT_TRUE(mesh->visible);
    for (int i = 0; i < mesh->indexCount; ++i) ASSERT_LT(mesh->indices[i], mesh->vertexCount);
  }
}

TEST_F(MeshTest, EveryBoxFaceLiesOnTheCubeAndFacesOutwards) {
  Mesh box;
  box.buildBox(1);
  const Vec3 expectedNormals[6] = {{0, 0, 1}, {1, 0, 0}, {0, 0, -1}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
  for (int face = 0; face < 6; ++face) {
    for (int k = 0; k < 4; ++k) {
      const MeshVertex& v = box.baseVertices[face * 4 + k];
      expectVec(v.normal, expectedNormals[face].x, expectedNormals[face].y, expectedNormals[face].z);
      EXPECT_NEAR(dot(v.position, v.normal), 0.5f, 1e-6f);  // on the face half a unit out
      EXPECT_NEAR(std::fabs(v.position.x) + std::fabs(v.position.y) + std::fabs(v.position.z), 1.5f, 1e-6f);
      EXPECT_EQ(v.color, 0xFFFFFFFFu);
    }
  }
  // The triangles wind so that the area normals agree with the generated ones.
  box.computeNormals();
  for (int i = 0; i < box.vertexCount; ++i) {
    const Vec3& n = box.baseVertices[i].normal;
    expectVec(box.vertices[i].normal, n.x, n.y, n.z, 1e-5f);
  }
}

TEST_F(MeshTest, TubeWrapsItsSeamWithoutASeamVertex) {
  Mesh tube;
  tube.buildTube(4, 2);
  ASSERT_EQ(tube.vertexCount, 12);  // 4 per ring, 3 rings
  // Last quad of the first row: column 3 joins column 0 of its own and the next ring.
  const uint16_t* last = tube.indices + 3 * 6;
  const uint16_t expected[6] = {3, 0, 4, 3, 4, 7};
  EXPECT_EQ(std::memcmp(last, expected, sizeof expected), 0);
  for (int i = 0; i < tube.vertexCount; ++i) {
    const Vec3& p = tube.baseVertices[i].position;
    EXPECT_NEAR(p.x * p.x + p.z * p.z, 0.25f, 1e-6f);
    EXPECT_NEAR(p.y, static_cast<float>(i / 4) * 0.5f - 0.5f, 1e-6f);
    EXPECT_NEAR(tube.baseVertices[i].normal.lengthSquared(), 1.0f, 1e-5f);
  }
  expectVec(tube.baseVertices[1].position, 0.0f, -0.5f, 0.5f);  // a quarter turn round
  expectVec(tube.baseVertices[0].normal, 0.70710677f, -0.70710677f, 0.0f);  // leaning to the end
}

TEST_F(MeshTest, DrawsIssueTheirCallsOnlyWhenVisible) {
  recordDraws();
  Mesh empty;
  empty.draw();
  empty.drawPoints();
  empty.restoreVertices();  // no arrays: nothing to copy
  EXPECT_TRUE(draws_.empty());

  Mesh box;
  box.buildBox(1);
  box.draw();
  box.drawPoints();
  ASSERT_EQ(draws_.size(), 2u);
  EXPECT_EQ(draws_[0].type, D3DPT_TRIANGLELIST);
  EXPECT_EQ(draws_[0].primitiveCount, 12u);
  EXPECT_EQ(draws_[0].fvf, 0x152u);
  EXPECT_EQ(draws_[1].type, D3DPT_POINTLIST);
  EXPECT_EQ(draws_[1].primitiveCount, 24u);

  box.release();
  EXPECT_EQ(box.vertexCount, 0);
  EXPECT_EQ(box.indexCount, 0);
  EXPECT_EQ(box.vertices, nullptr);
  EXPECT_EQ(box.vertexBuffer, nullptr);
  box.release();  // twice is harmless
}

TEST_F(MeshTest, NormalsOfASingleTriangleFollowItsWinding) {
  Mesh mesh;
  makeTriangle(mesh, {0, 0, 0}, {1, 0, 0}, {0, 0, 1});
  mesh.computeNormals();
  for (int i = 0; i < 3; ++i) expectVec(mesh.vertices[i].normal, 0, 1, 0);
  mesh.computeNormals();  // recomputed from zero, not accumulated
  for (int i = 0; i < 3; ++i) expectVec(mesh.vertices[i].normal, 0, 1, 0);

  makeTriangle(mesh, {0, 0, 0}, {0, 0, 1}, {1, 0, 0});
  mesh.computeNormals();
  for (int i = 0; i < 3; ++i) expectVec(mesh.vertices[i].normal, 0, -1, 0);
}

TEST_F(MeshTest, NormalsWeighLargerTrianglesMore) {
  // Two triangles share vertex 0: a large one in the y = 0 plane (normal +y, area 2) and a small one
  // in the x = 0 plane (normal +x, area 0.5): the shared normal leans 4:1 towards +y.
  Mesh mesh;
  mesh.allocateVertices(5);
  mesh.allocateIndices(6);
  const Vec3 corners[5] = {{0, 0, 0}, {2, 0, 0}, {0, 0, 2}, {0, 0, 1}, {0, 1, 0}};
  for (int i = 0; i < 5; ++i) mesh.vertices[i] = MeshVertex{corners[i], Vec3{}, 0, 0, 0};
  const uint16_t indices[6] = {0, 1, 2, 0, 3, 4};
  std::memcpy(mesh.indices, indices, sizeof indices);
  mesh.computeNormals();
  const float k = 1.0f / std::sqrt(17.0f);
  expectVec(mesh.vertices[0].normal, k, 4.0f * k, 0.0f);
  expectVec(mesh.vertices[4].normal, 1, 0, 0);
}

TEST_F(MeshTest, PulsingAtTimeZeroScalesByTheWorkedFactors) {
  Mesh mesh;
  makeTriangle(mesh, {0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 0.5f});
  mesh.vertices[0].normal = {0, 0, 1};
  mesh.vertices[0].u = 0.25f;
  mesh.pulsate(0.0f);
  // (0.5, 0, 0): e = 0, g = pi/2, w = cos(2 pi) = 1, s = 0, k = 1.2 -> 0.3.
  expectVec(mesh.vertices[0].position, 0.3f, 0.0f, 0.0f);
  // (0, 0.5, 0): e = pi/2, g = 0, w = 1, s = sin(5 pi/2) = 1, k = 2.2 -> 0.55.
  expectVec(mesh.vertices[1].position, 0.0f, 0.55f, 0.0f);
  // (0, 0, 0.5): e = 0, g = 0, w = 1, s = 0, k = 1.2 -> 0.3.
  expectVec(mesh.vertices[2].position, 0.0f, 0.0f, 0.3f);
  expectVec(mesh.vertices[0].normal, 0, 0, 1);  // normals and texture coordinates stay
  EXPECT_EQ(mesh.vertices[0].u, 0.25f);
}

