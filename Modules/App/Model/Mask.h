#pragma once

#include "AbstractProjectItem.h"
#include "AppExport.h"

#include <QPointF>
#include <QString>
#include <QUuid>

#include <memory>
#include <vector>

namespace lumo::app {

enum MaskHandleType : int {
    MaskHandleTypeNoControl = 0,
    MaskHandleTypeMonoControl = 1,
    MaskHandleTypeDualControl = 2,
};

// How clicks on the canvas act on masks. A file may hold another number, which a list keeps and
// saves as it is; the canvas takes any number but MaskModeSelect as MaskModeCreate.
enum MaskMode : int {
    MaskModeCreate = 0, // clicks add handles
    MaskModeSelect = 1, // rubber-band selection of handles
};

// One point of a mask's outline. Reading and writing go through AbstractProjectItem; a handle
// reads its coordinates from its own `handle` element (the mask reads `type` to choose the class).
class APP_EXPORT AbstractMaskHandle : public AbstractProjectItem {
public:
    virtual MaskHandleType Type() const = 0;
    virtual const QUuid& Id() const = 0;
    virtual const QPointF& Position() const = 0;
    virtual void SetPosition(const QPointF& position) = 0;
};

using MaskHandlePtr = std::shared_ptr<AbstractMaskHandle>;

// Id and position, which every handle class has first. A copy keeps the id.
template <MaskHandleType TypeValue>
class BasicMaskHandle : public AbstractMaskHandle {
public:
    MaskHandleType Type() const override { return TypeValue; }
    const QUuid& Id() const override { return m_id; }
    const QPointF& Position() const override { return m_position; }
    void SetPosition(const QPointF& position) override { m_position = position; }

protected:
    explicit BasicMaskHandle(const QPointF& position) : m_id(QUuid::createUuid()), m_position(position) {}
    BasicMaskHandle(const BasicMaskHandle&) = default;
    BasicMaskHandle& operator=(const BasicMaskHandle&) = default;

private:
    QUuid m_id;
    QPointF m_position;
};

// A corner of the outline: straight segments on both sides.
class APP_EXPORT MaskHandle final : public BasicMaskHandle<MaskHandleTypeNoControl> {
public:
    MaskHandle();
    explicit MaskHandle(const QPointF& position);
    MaskHandle(const MaskHandle&) = default;
    MaskHandle& operator=(const MaskHandle&) = default;

    // Equal when the points are (SamePoint); ids are not compared.
    bool operator==(const MaskHandle& other) const;
    bool operator!=(const MaskHandle& other) const { return !(*this == other); }

private:
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;
};

// A handle with one control point shaping the curve through it.
class APP_EXPORT MonoControlMaskHandle final : public BasicMaskHandle<MaskHandleTypeMonoControl> {
public:
    MonoControlMaskHandle();
    MonoControlMaskHandle(const QPointF& position, const QPointF& control);
    MonoControlMaskHandle(const MonoControlMaskHandle&) = default;
    MonoControlMaskHandle& operator=(const MonoControlMaskHandle&) = default;

    const QPointF& ControlPosition() const { return m_control; }
    void SetControlPosition(const QPointF& control) { m_control = control; }

    bool operator==(const MonoControlMaskHandle& other) const;
    bool operator!=(const MonoControlMaskHandle& other) const { return !(*this == other); }

private:
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    QPointF m_control;
};

// A curved handle with a control point on each side (offsets from the position).
class APP_EXPORT DualControlMaskHandle final : public BasicMaskHandle<MaskHandleTypeDualControl> {
public:
    DualControlMaskHandle();
    DualControlMaskHandle(const QPointF& position, const QPointF& left, const QPointF& right);
    DualControlMaskHandle(const DualControlMaskHandle&) = default;
    DualControlMaskHandle& operator=(const DualControlMaskHandle&) = default;

    const QPointF& LeftControlPosition() const { return m_left; }
    const QPointF& RightControlPosition() const { return m_right; }
    void SetLeftControlPosition(const QPointF& left) { m_left = left; }
    void SetRightControlPosition(const QPointF& right) { m_right = right; }

    bool operator==(const DualControlMaskHandle& other) const;
    bool operator!=(const DualControlMaskHandle& other) const { return !(*this == other); }

private:
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    QPointF m_left;
    QPointF m_right;
};

// A hand-drawn outline on the foreground: a path of handles, open while it is drawn and closed
// when finished. Copies are deep (new handle objects with the same ids).
class APP_EXPORT Mask final : public AbstractProjectItem {
public:
    using ConstIterator = std::vector<MaskHandlePtr>::const_iterator;

    Mask();
    Mask(const QString& name, bool remove, bool inverted, bool closed, bool enabled, int feather, float scale,
         float zoom);
    Mask(const Mask& other);
    Mask& operator=(const Mask& other);
    ~Mask() override;

    // Same handles (class and points, in order), id, name, flags, feather and zoom. The scale is
    // not compared: the position panel sets it on every mask and it says nothing of the outline.
    bool operator==(const Mask& other) const;
    bool operator!=(const Mask& other) const { return !(*this == other); }

    const QUuid& Id() const { return m_id; }
    const QString& MaskName() const { return m_name; }
    bool IsRemove() const { return m_remove; }
    bool IsInverted() const { return m_inverted; }
    bool IsClosed() const { return m_closed; }
    bool IsEnabled() const { return m_enabled; }
    int Feather() const { return m_feather; }
    float Scale() const { return m_scale; }
    float Zoom() const { return m_zoom; }

    void SetMaskName(const QString& name) { m_name = name; }
    void SetRemove(bool remove) { m_remove = remove; }
    void SetInverted(bool inverted) { m_inverted = inverted; }
    void SetClosed(bool closed) { m_closed = closed; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    void SetFeather(int feather) { m_feather = feather; }
    void SetScale(float scale) { m_scale = scale; }
    void SetZoom(float zoom) { m_zoom = zoom; }

    // Appends at the end of the path; 4 for a null handle (nothing added), else 0.
    LMerr Add(MaskHandlePtr handle);
    // Inserts just before the handle with the id; 48 when there is none, 4 for a null handle
    // (nothing inserted).
    LMerr AddBefore(MaskHandlePtr handle, const QUuid& id);
    // 49 when no handle has the id (out-parameter untouched).
    LMerr GetHandle(const QUuid& id, MaskHandlePtr& handle) const;
    LMerr RemoveHandle(const QUuid& id);

    ConstIterator Begin() const { return m_handles.cbegin(); }
    ConstIterator End() const { return m_handles.cend(); }
    unsigned int Size() const { return static_cast<unsigned int>(m_handles.size()); }
    void Clear() { m_handles.clear(); }

private:
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;
    void DeepCopy(const Mask& other);

    QUuid m_id;
    QString m_name;
    bool m_remove = true;
    bool m_inverted = false;
    bool m_closed = false;
    bool m_enabled = true;
    int m_feather = 0;
    float m_scale = 1.0f;
    float m_zoom = 1.0f;
    std::vector<MaskHandlePtr> m_handles;
};

using MaskPtr = std::shared_ptr<Mask>;

// A foreground's masks in order, with the selected mask, the counter for new mask names and the
// canvas interaction mode. The list leaves selection, counter and mode to its users. Reads from
// the enclosing settings element (its `maskList` child); copies are deep.
class APP_EXPORT MaskList final : public AbstractProjectItem {
public:
    using ConstIterator = std::vector<MaskPtr>::const_iterator;

    MaskList();
    // A copy-constructed list starts in MaskModeCreate; assignment keeps the target's own mode.
    MaskList(const MaskList& other);
    MaskList& operator=(const MaskList& other);
    ~MaskList() override;

    const QUuid& CurrentlySelectedMask() const { return m_selected; }
    void SetCurrentlySelectedMask(const QUuid& id) { m_selected = id; }
    unsigned int NameSuffix() const { return m_nameSuffix; }
    void SetNameSuffix(unsigned int suffix) { m_nameSuffix = suffix; }
    void IncrementNameSuffix() { ++m_nameSuffix; }
    MaskMode CurrentMaskMode() const { return m_mode; }
    void SetCurrentMaskMode(MaskMode mode) { m_mode = mode; }

    // 50 when a mask with the same id is present, 4 for a null mask (nothing added).
    LMerr Add(MaskPtr mask);
    // 51 when no mask has the id (out-parameter untouched).
    LMerr Get(const QUuid& id, MaskPtr& mask) const;
    // The selection is not changed.
    LMerr Remove(const QUuid& id);
    // Swap with the neighbour before / after; nothing moves at the ends.
    LMerr MoveUp(const QUuid& id);
    LMerr MoveDown(const QUuid& id);

    ConstIterator Begin() const { return m_masks.cbegin(); }
    ConstIterator End() const { return m_masks.cend(); }
    unsigned int Size() const { return static_cast<unsigned int>(m_masks.size()); }
    unsigned int EnabledCount() const;
    // Removes every mask; selection, suffix and mode stay.
    void Clear() { m_masks.clear(); }

private:
    LMerr LoadFromXml(QDomElement& parent) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;
    void DeepCopy(const MaskList& other);
    // Positions count from 1 here, as stored in the file (0 stands for no selection); 58 when
    // the id or position is not in the list.
    LMerr IdToIndex(const QUuid& id, unsigned int& index) const;
    LMerr IndexToID(unsigned int index, QUuid& id) const;

    std::vector<MaskPtr> m_masks;
    QUuid m_selected;
    unsigned int m_nameSuffix = 1;
    MaskMode m_mode = MaskModeCreate;
};

} // namespace lumo::app
