#include "render/gl/GlRenderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "image/DibStream.h"

#ifndef GL_BGR_EXT
#define GL_BGR_EXT 0x80E0
#endif
#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

namespace kinovela {

namespace {

constexpr GLuint kAxesList = 1;
constexpr GLuint kBoxList = 2;

const CAnimation* PoseAt(const CModel& m, int frame)
{
    if (m.m_frames.empty()) return nullptr;
    return &m.m_frames[static_cast<std::size_t>(std::clamp(frame, 0, static_cast<int>(m.m_frames.size()) - 1))];
}

}  // namespace

void GlRenderer::Initialize()
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHT0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    glNewList(kAxesList, GL_COMPILE);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_LINES);
    glNormal3f(0, 0, 1);
    glColor3f(1, 0, 0);
    glVertex3f(0, 0, 0);
    glVertex3f(600, 0, 0);
    glColor3f(0, 1, 0);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 600, 0);
    glColor3f(0, 0, 1);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, 600);
    glColor3f(91.0f / 255.0f, 105.0f / 255.0f, 91.0f / 255.0f);
    glVertex3f(-500, 0, 0);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, -500);
    glVertex3f(0, 0, 0);
    for (int k = -500; k <= 500; k += 50) {
        if (k == 0) continue;
        glVertex3f(static_cast<float>(k), 0, -500);
        glVertex3f(static_cast<float>(k), 0, 500);
    }
    for (int k = -500; k <= 500; k += 50) {
        if (k == 0) continue;
        glVertex3f(-500, 0, static_cast<float>(k));
        glVertex3f(500, 0, static_cast<float>(k));
    }
    glEnd();
    glEndList();

    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    ApplyClearColor();
    m_ready = true;
    RebuildModelLists();
    BuildSelectionBox();
}

void GlRenderer::Release()
{
    if (!m_ready) return;
    ReleaseModelLists();
    ReleaseTextures();
    glDeleteLists(kAxesList, 2);
    m_ready = false;
}

void GlRenderer::ApplyClearColor()
{
    const std::uint32_t c = m_scene.m_background;
    // Opaque: the picture is composed into a window, where alpha 0 would
    // show through.
    glClearColor(static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                 static_cast<float>((c >> 16) & 0xFF) / 255.0f, 1.0f);
}

void GlRenderer::Resize(int width, int height)
{
    // A minimised window keeps the last projection.
    if (width <= 0 || height <= 0) return;
    m_viewWidth = static_cast<float>(width);
    m_viewHeight = static_cast<float>(height);
    ApplyProjection();
    glViewport(0, 0, width, height);
}

void GlRenderer::ApplyProjection()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(m_scene.m_fov, m_viewWidth / m_viewHeight, kViewNear, kViewFar);
    glMatrixMode(GL_MODELVIEW);
    m_appliedFov = m_scene.m_fov;
}

void GlRenderer::SetupLight()
{
    const GLfloat position[] = {0, 0, 1, 0};
    const GLfloat ambient[] = {0.5f, 0.5f, 0.5f, 1};
    const GLfloat white[] = {1, 1, 1, 1};
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
}

void GlRenderer::ApplyCamera()
{
    if (m_scene.m_camera.empty()) return;
    const CAnimation& c = m_scene.m_camera[0];
    glTranslatef(c.m_position.m_x, c.m_position.m_y, c.m_position.m_z);
    glRotatef(c.m_rotation.m_x, 1, 0, 0);
    glRotatef(c.m_rotation.m_y, 0, 1, 0);
    glRotatef(c.m_rotation.m_z, 0, 0, 1);
}

void GlRenderer::ApplyPose(const CModel& m, bool pivotFirst)
{
    const CAnimation* a = PoseAt(m, m_timeline.m_current);
    if (!a) return;
    const CVector& p = m.m_pivot;
    if (pivotFirst) glTranslatef(p.m_x, p.m_y, p.m_z);
    glTranslatef(a->m_position.m_x + (pivotFirst ? 0 : p.m_x), a->m_position.m_y + (pivotFirst ? 0 : p.m_y),
                 a->m_position.m_z + (pivotFirst ? 0 : p.m_z));
    glRotatef(a->m_rotation.m_z, 0, 0, 1);
    glRotatef(a->m_rotation.m_y, 0, 1, 0);
    glRotatef(a->m_rotation.m_x, 1, 0, 0);
    glScalef(a->m_scale.m_x, a->m_scale.m_y, a->m_scale.m_z);
    glTranslatef(-p.m_x, -p.m_y, -p.m_z);
}

void GlRenderer::Draw()
{
    // Framing a large scene widens the field of view between two resizes.
    if (m_appliedFov != m_scene.m_fov) ApplyProjection();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    SetupLight();
    ApplyCamera();
    // Blended geometry must not change the picture's alpha.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glCallList(kAxesList);
    const std::size_t count = m_scene.m_models.size();
    for (const WalkEntry& e : m_scene.m_hierarchyWalk) {
        if (e.event == kWalkEnd) break;
        if (e.model < 0 || static_cast<std::size_t>(e.model) >= count) continue;
        const CModel& m = m_scene.m_models[static_cast<std::size_t>(e.model)];
        if (e.event == kWalkEnter) {
            glPushMatrix();
            ApplyPose(m, false);
        } else if (e.event == kWalkLeave) {
            if (m.m_visible) {
                if (m_scene.m_selected == e.model) glCallList(kBoxList);
                glCallList(ListOf(static_cast<std::size_t>(e.model)));
            }
            glPopMatrix();
        }
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void GlRenderer::ReleaseModelLists()
{
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        if (m_lists[i] != 0) glDeleteLists(m_lists[i], 1);
    m_lists.clear();
    m_ownList.clear();
}

void GlRenderer::ReleaseTextures()
{
    for (unsigned& name : m_textures)
        if (name != 0) glDeleteTextures(1, &name);
    m_textures.clear();
    for (CMaterial& m : m_scene.m_materials) m.m_glTexture = 0;
}

void GlRenderer::UploadRows(const DibStream& img)
{
    const GLenum format = img.BitCount() == 32 ? GL_BGRA_EXT : GL_BGR_EXT;
    const GLint internal = img.BitCount() == 32 ? 4 : 3;
    const int width = img.Width(), height = img.Height();
    // The model lists draw with -v, which shows a picture upright when its
    // first row in memory is its bottom row. A picture decoded top row first
    // (PNG, some TGAs) goes up in bands turned round, so that the pictures
    // meet the same coordinates whichever way they were stored.
    if (img.IsBottomUp()) {
        glTexImage2D(GL_TEXTURE_2D, 0, internal, width, height, 0, format, GL_UNSIGNED_BYTE, img.Bits());
        return;
    }
    glTexImage2D(GL_TEXTURE_2D, 0, internal, width, height, 0, format, GL_UNSIGNED_BYTE, nullptr);
    const std::size_t stride = img.Stride();
    const int band = static_cast<int>(std::clamp<std::size_t>((std::size_t{1} << 20) / stride, 1, height));
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(band));
    for (int first = 0; first < height; first += band) {
        const int count = std::min(band, height - first);
        // Texture row first + k is picture row height - 1 - (first + k).
        for (int k = 0; k < count; ++k)
            std::memcpy(rows.data() + stride * static_cast<std::size_t>(k), img.RowPointer(height - 1 - first - k),
                        stride);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, first, width, count, format, GL_UNSIGNED_BYTE, rows.data());
    }
}

void GlRenderer::RebuildModelLists()
{
    if (!m_ready) return;
    ReleaseModelLists();
    ReleaseTextures();

    m_textures.assign(m_scene.m_materials.size(), 0);
    for (std::size_t i = 0; i < m_scene.m_materials.size(); ++i) {
        CMaterial& mat = m_scene.m_materials[i];
        if (mat.m_texture.empty() || !mat.m_image || mat.m_image->Empty()) continue;
        const DibStream& img = *mat.m_image;
        // Rows are padded to four bytes; 24-bit rows need the matching unpack.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glGenTextures(1, &m_textures[i]);
        glBindTexture(GL_TEXTURE_2D, m_textures[i]);
        UploadRows(img);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        mat.m_glTexture = m_textures[i];
    }

    // A stored list number is used when it is positive, clear of the two
    // overlay lists and of every other model's; any other gets a fresh list.
    const std::size_t count = m_scene.m_models.size();
    m_lists.assign(count, 0);
    m_ownList.assign(count, false);
    std::set<int> taken;
    for (std::size_t i = 0; i < count; ++i) {
        const int id = m_scene.m_models[i].m_listId;
        if (id > static_cast<int>(kBoxList) && taken.insert(id).second && !glIsList(static_cast<GLuint>(id))) {
            m_lists[i] = static_cast<GLuint>(id);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (m_lists[i] == 0) {
            GLuint fresh = glGenLists(1);
            // Skip numbers that a later model stores for itself.
            while (fresh != 0 && taken.count(static_cast<int>(fresh))) fresh = glGenLists(1);
            m_lists[i] = fresh;
            m_ownList[i] = true;
        }
        CompileModel(i, m_lists[i]);
    }
}

void GlRenderer::ApplyMaterial(int id)
{
    for (std::size_t i = 0; i < m_scene.m_materials.size(); ++i) {
        const CMaterial& m = m_scene.m_materials[i];
        if (m.m_id != id) continue;
        const auto& c = m.m_glColors;  // diffuse, ambient, specular, emission
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, c[0].data());
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, c[1].data());
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, c[2].data());
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, c[3].data());
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(m.m_power, 0.0f, 128.0f));
        const unsigned tex = i < m_textures.size() ? m_textures[i] : 0;
        if (m.m_texture.empty() || tex == 0) {
            glDisable(GL_TEXTURE_2D);
        } else {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, tex);
        }
        return;
    }
}

void GlRenderer::CompileModel(std::size_t index, unsigned list)
{
    // The normals were computed by the core when the mesh was read; the
    // renderer only reads the scene.
    const CModel& m = m_scene.m_models[index];
    // The shade model is global state, set before the list as it always was.
    glShadeModel(m_scene.m_smooth ? GL_SMOOTH : GL_FLAT);
    glNewList(list, GL_COMPILE);
    glEnable(GL_LIGHTING);
    glPolygonMode(GL_FRONT, GL_FILL);
    int last = -1;
    bool haveLast = false;
    // Runs of faces with the same corner count and material share one
    // glBegin: a list of a few long primitives replays far faster than one
    // primitive per face.
    GLenum open = 0;
    const std::size_t nv = m.m_vertices.size();
    for (const CFace& f : m.m_faces) {
        const int n = f.IndexCount();
        if (n != 3 && n != 4) continue;
        if (std::any_of(f.Indices().begin(), f.Indices().end(),
                        [nv](int i) { return i < 0 || static_cast<std::size_t>(i) >= nv; }))
            continue;
        if (!haveLast || f.m_material != last) {
            const bool found = std::any_of(m_scene.m_materials.begin(), m_scene.m_materials.end(),
                                           [&](const CMaterial& c) { return c.m_id == f.m_material; });
            if (found) {
                if (open != 0) glEnd();
                open = 0;
                ApplyMaterial(f.m_material);
                last = f.m_material;
                haveLast = true;
            }
        }
        const GLenum mode = n == 3 ? GL_TRIANGLES : GL_QUADS;
        if (mode != open) {
            if (open != 0) glEnd();
            glBegin(mode);
            open = mode;
        }
        for (int c = 0; c < n; ++c) {
            if (f.UVCount() > c) glTexCoord2f(f.m_uvs[static_cast<std::size_t>(c)].m_u, -f.m_uvs[static_cast<std::size_t>(c)].m_v);
            const CVertex& v = m.m_vertices[static_cast<std::size_t>(f.m_indices[static_cast<std::size_t>(c)])];
            glNormal3f(-v.m_normal.m_x, -v.m_normal.m_y, -v.m_normal.m_z);
            glVertex3f(v.m_pos.m_x, v.m_pos.m_y, v.m_pos.m_z);
        }
    }
    if (open != 0) glEnd();
    glEndList();
}

void GlRenderer::BuildSelectionBox()
{
    if (!m_ready) return;
    glNewList(kBoxList, GL_COMPILE);
    if (m_scene.HasSelection()) {
        const CModel& m = m_scene.m_models[static_cast<std::size_t>(m_scene.m_selected)];
        const CVector a = m.m_bboxMin, b = m.m_bboxMax;
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glBegin(GL_LINES);
        glNormal3f(0, 0, 1);
        glColor3f(1, 1, 1);
        const float xs[2] = {a.m_x, b.m_x}, ys[2] = {a.m_y, b.m_y}, zs[2] = {a.m_z, b.m_z};
        // Four edges along each axis, starting with (min.x, min.y, min.z)-(max.x, min.y, min.z).
        for (int j = 0; j < 2; ++j)
            for (int k = 0; k < 2; ++k) {
                glVertex3f(xs[0], ys[j], zs[k]);
                glVertex3f(xs[1], ys[j], zs[k]);
            }
        for (int i = 0; i < 2; ++i)
            for (int k = 0; k < 2; ++k) {
                glVertex3f(xs[i], ys[0], zs[k]);
                glVertex3f(xs[i], ys[1], zs[k]);
            }
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j) {
                glVertex3f(xs[i], ys[j], zs[0]);
                glVertex3f(xs[i], ys[j], zs[1]);
            }
        glEnd();
    }
    glEndList();
}

bool GlRenderer::PickModel(int x, int y)
{
    if (!m_ready) return false;
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLuint buffer[512];
    glSelectBuffer(512, buffer);
    glRenderMode(GL_SELECT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ApplyCamera();
    glInitNames();
    // Picking keeps the drawing's culling: a click where a face is culled
    // (not drawn) must not select its model.
    bool projectionPushed = false;
    const std::size_t count = m_scene.m_models.size();
    for (const WalkEntry& e : m_scene.m_hierarchyWalk) {
        if (e.event == kWalkEnd) break;
        if (e.event == kWalkBegin) {
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            projectionPushed = true;
            glLoadIdentity();
            gluPickMatrix(x, viewport[3] - y, 5, 5, viewport);
            gluPerspective(m_scene.m_fov, m_viewWidth / m_viewHeight, kViewNear, kViewFar);
            glMatrixMode(GL_MODELVIEW);
            continue;
        }
        if (e.model < 0 || static_cast<std::size_t>(e.model) >= count) continue;
        const CModel& m = m_scene.m_models[static_cast<std::size_t>(e.model)];
        if (e.event == kWalkEnter) {
            glPushMatrix();
            ApplyPose(m, true);
        } else if (e.event == kWalkLeave) {
            const CVector& p = m.m_pivot;
            glTranslatef(p.m_x, p.m_y, p.m_z);
            glPushName(ListOf(static_cast<std::size_t>(e.model)));
            const std::size_t nv = m.m_vertices.size();
            glPolygonMode(GL_FRONT, GL_FILL);
            // The whole face, as it is drawn: with culling on, its first
            // three corners alone would leave half of every quad unpickable.
            for (const CFace& f : m.m_faces) {
                const int corners = f.IndexCount();
                if (corners < 3) continue;
                bool inside = true;
                for (int c = 0; c < corners; ++c) {
                    const int i = f.m_indices[static_cast<std::size_t>(c)];
                    inside = inside && i >= 0 && static_cast<std::size_t>(i) < nv;
                }
                if (!inside) continue;
                glBegin(corners == 3 ? GL_TRIANGLES : GL_QUADS);
                for (int c = 0; c < corners; ++c) {
                    const std::size_t i = static_cast<std::size_t>(f.m_indices[static_cast<std::size_t>(c)]);
                    const CVector& v = m.m_vertices[i].m_pos;
                    glVertex3f(v.m_x - p.m_x, v.m_y - p.m_y, v.m_z - p.m_z);
                }
                glEnd();
            }
            glPopName();
            glPopMatrix();
        }
    }
    if (projectionPushed) {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
    }
    glFlush();
    glMatrixMode(GL_MODELVIEW);
    const GLint hits = glRenderMode(GL_RENDER);
    // -1: the buffer overflowed; its records cannot be trusted.
    if (hits <= 0) return false;

    double best = 10.0;
    GLuint nearest = 0;
    bool selectedHit = false;
    const GLuint selectedName = m_scene.HasSelection() ? ListOf(static_cast<std::size_t>(m_scene.m_selected)) : 0;
    const GLuint* r = buffer;
    const GLuint* end = buffer + 512;
    for (GLint h = 0; h < hits && r + 3 < end; ++h) {
        const GLuint names = r[0];
        const double depth = static_cast<double>(r[1]) / 2147483648.0;
        const GLuint name = names > 0 ? r[3] : 0;
        if (names > 0 && selectedName != 0 && name == selectedName) selectedHit = true;
        if (names > 0 && depth < best) {
            best = depth;
            nearest = name;
        }
        r += 3 + names;
    }
    if (selectedHit || nearest == 0) return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (ListOf(i) == nearest && m_scene.m_models[i].m_visible) {
            m_scene.m_selected = static_cast<int>(i);
            BuildSelectionBox();
            return true;
        }
    }
    return false;
}

}  // namespace kinovela
