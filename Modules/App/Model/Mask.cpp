#include "Mask.h"

#include "IdVector.h"
#include "PointEquality.h"
#include "XmlValues.h"

#include <QDomElement>
#include <QXmlStreamWriter>

#include <algorithm>
#include <limits>

namespace lumo::app {

namespace {

QPointF ReadPoint(const QDomElement& element, const char* xName, const char* yName)
{
    const double x = ReadXmlTagDouble(element, QString::fromLatin1(xName));
    const double y = ReadXmlTagDouble(element, QString::fromLatin1(yName));
    return QPointF(x, y);
}

void WritePoint(QXmlStreamWriter& writer, const QPointF& point, const char* xName, const char* yName)
{
    WriteXmlTagDouble(writer, QString::fromLatin1(xName), point.x());
    WriteXmlTagDouble(writer, QString::fromLatin1(yName), point.y());
}

void WriteHandleStart(QXmlStreamWriter& writer, const AbstractMaskHandle& handle)
{
    writer.writeStartElement(QStringLiteral("handle"));
    WriteXmlTagInt(writer, QStringLiteral("type"), handle.Type());
    WritePoint(writer, handle.Position(), "positionX", "positionY");
}

// A new handle of the same class with the same id and points.
MaskHandlePtr CopyHandle(const AbstractMaskHandle& handle)
{
    switch (handle.Type()) {
    case MaskHandleTypeMonoControl:
        return std::make_shared<MonoControlMaskHandle>(static_cast<const MonoControlMaskHandle&>(handle));
    case MaskHandleTypeDualControl:
        return std::make_shared<DualControlMaskHandle>(static_cast<const DualControlMaskHandle&>(handle));
    case MaskHandleTypeNoControl:
        break;
    }
    return std::make_shared<MaskHandle>(static_cast<const MaskHandle&>(handle));
}

bool SameHandle(const AbstractMaskHandle& a, const AbstractMaskHandle& b)
{
    if (a.Type() != b.Type())
        return false;
    switch (a.Type()) {
    case MaskHandleTypeMonoControl:
        return static_cast<const MonoControlMaskHandle&>(a) == static_cast<const MonoControlMaskHandle&>(b);
    case MaskHandleTypeDualControl:
        return static_cast<const DualControlMaskHandle&>(a) == static_cast<const DualControlMaskHandle&>(b);
    case MaskHandleTypeNoControl:
        break;
    }
    return static_cast<const MaskHandle&>(a) == static_cast<const MaskHandle&>(b);
}

MaskHandlePtr CreateHandle(int type)
{
    switch (type) {
    case MaskHandleTypeNoControl:
        return std::make_shared<MaskHandle>();
    case MaskHandleTypeMonoControl:
        return std::make_shared<MonoControlMaskHandle>();
    case MaskHandleTypeDualControl:
        return std::make_shared<DualControlMaskHandle>();
    default:
        return nullptr;
    }
}

} // namespace

// Handles

MaskHandle::MaskHandle() : BasicMaskHandle(QPointF()) {}

MaskHandle::MaskHandle(const QPointF& position) : BasicMaskHandle(position) {}

bool MaskHandle::operator==(const MaskHandle& other) const
{
    return SamePoint(Position(), other.Position());
}

LMerr MaskHandle::LoadFromXml(QDomElement& element)
{
    return CatchXml([&] { SetPosition(ReadPoint(element, "positionX", "positionY")); });
}

LMerr MaskHandle::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        WriteHandleStart(writer, *this);
        writer.writeEndElement();
    });
}

MonoControlMaskHandle::MonoControlMaskHandle() : BasicMaskHandle(QPointF()) {}

MonoControlMaskHandle::MonoControlMaskHandle(const QPointF& position, const QPointF& control)
    : BasicMaskHandle(position), m_control(control)
{
}

bool MonoControlMaskHandle::operator==(const MonoControlMaskHandle& other) const
{
    return SamePoint(Position(), other.Position()) && SamePoint(m_control, other.m_control);
}

LMerr MonoControlMaskHandle::LoadFromXml(QDomElement& element)
{
    return CatchXml([&] {
        SetPosition(ReadPoint(element, "positionX", "positionY"));
        m_control = ReadPoint(element, "controlPositionX", "controlPositionY");
    });
}

LMerr MonoControlMaskHandle::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        WriteHandleStart(writer, *this);
        WritePoint(writer, m_control, "controlPositionX", "controlPositionY");
        writer.writeEndElement();
    });
}

DualControlMaskHandle::DualControlMaskHandle() : BasicMaskHandle(QPointF()) {}

DualControlMaskHandle::DualControlMaskHandle(const QPointF& position, const QPointF& left, const QPointF& right)
    : BasicMaskHandle(position), m_left(left), m_right(right)
{
}

bool DualControlMaskHandle::operator==(const DualControlMaskHandle& other) const
{
    return SamePoint(Position(), other.Position()) && SamePoint(m_left, other.m_left) &&
           SamePoint(m_right, other.m_right);
}

LMerr DualControlMaskHandle::LoadFromXml(QDomElement& element)
{
    return CatchXml([&] {
        SetPosition(ReadPoint(element, "positionX", "positionY"));
        m_left = ReadPoint(element, "leftControlPositionX", "leftControlPositionY");
        m_right = ReadPoint(element, "rightControlPositionX", "rightControlPositionY");
    });
}

LMerr DualControlMaskHandle::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        WriteHandleStart(writer, *this);
        WritePoint(writer, m_left, "leftControlPositionX", "leftControlPositionY");
        WritePoint(writer, m_right, "rightControlPositionX", "rightControlPositionY");
        writer.writeEndElement();
    });
}

// Mask

Mask::Mask() : m_id(QUuid::createUuid()) {}

Mask::Mask(const QString& name, bool remove, bool inverted, bool closed, bool enabled, int feather, float scale,
           float zoom)
    : m_id(QUuid::createUuid()), m_name(name), m_remove(remove), m_inverted(inverted), m_closed(closed),
      m_enabled(enabled), m_feather(feather), m_scale(scale), m_zoom(zoom)
{
}

Mask::Mask(const Mask& other) : AbstractProjectItem(other)
{
    DeepCopy(other);
}

Mask& Mask::operator=(const Mask& other)
{
    if (this != &other)
        DeepCopy(other);
    return *this;
}

Mask::~Mask() = default;

void Mask::DeepCopy(const Mask& other)
{
    // Built aside first, so a failed allocation leaves the target as it was.
    std::vector<MaskHandlePtr> handles;
    handles.reserve(other.m_handles.size());
    for (const MaskHandlePtr& handle : other.m_handles)
        handles.push_back(CopyHandle(*handle));
    m_handles.swap(handles);
    m_id = other.m_id;
    m_name = other.m_name;
    m_remove = other.m_remove;
    m_inverted = other.m_inverted;
    m_closed = other.m_closed;
    m_enabled = other.m_enabled;
    m_feather = other.m_feather;
    m_scale = other.m_scale;
    m_zoom = other.m_zoom;
}

bool Mask::operator==(const Mask& other) const
{
    if (m_handles.size() != other.m_handles.size())
        return false;
    for (std::size_t i = 0; i < m_handles.size(); ++i) {
        if (!SameHandle(*m_handles[i], *other.m_handles[i]))
            return false;
    }
    return m_id == other.m_id && m_name == other.m_name && m_remove == other.m_remove &&
           m_inverted == other.m_inverted && m_closed == other.m_closed && m_enabled == other.m_enabled &&
           m_feather == other.m_feather && m_zoom == other.m_zoom;
}

LMerr Mask::Add(MaskHandlePtr handle)
{
    // A null handle would be dereferenced at the next save, copy or render.
    if (!handle)
        return LMerrInvalidData;
    m_handles.push_back(std::move(handle));
    return LMerrSuccess;
}

LMerr Mask::AddBefore(MaskHandlePtr handle, const QUuid& id)
{
    if (!handle)
        return LMerrInvalidData;
    const auto it = idvector::Find(m_handles, id);
    if (it == m_handles.end())
        return LMerrMaskHandleBeforeMissing;
    m_handles.insert(it, std::move(handle));
    return LMerrSuccess;
}

LMerr Mask::GetHandle(const QUuid& id, MaskHandlePtr& handle) const
{
    return idvector::Get(m_handles, id, handle) ? LMerrSuccess : LMerrMaskHandleMissing;
}

LMerr Mask::RemoveHandle(const QUuid& id)
{
    return idvector::Remove(m_handles, id) ? LMerrSuccess : LMerrMaskHandleMissing;
}

LMerr Mask::LoadFromXml(QDomElement& element)
{
    return CatchXml([&] {
        m_remove = ReadXmlAttributeBool(element, QStringLiteral("isRemove"));
        m_inverted = ReadXmlAttributeBool(element, QStringLiteral("isInverted"));
        m_closed = ReadXmlAttributeBool(element, QStringLiteral("isClosed"));
        m_enabled = ReadXmlAttributeBool(element, QStringLiteral("isEnabled"));
        m_name = QString::fromStdWString(ReadXmlTagWString(element, QStringLiteral("maskName")));
        m_feather = ReadXmlTagInt(element, QStringLiteral("feather"));
        m_scale = ReadXmlTagFloat(element, QStringLiteral("scale"));
        m_zoom = ReadXmlTagFloat(element, QStringLiteral("zoom"));

        const QDomElement handleList = element.firstChildElement(QStringLiteral("handleList"));
        if (handleList.isNull())
            return;
        for (QDomElement child = handleList.firstChildElement(QStringLiteral("handle")); !child.isNull();
             child = child.nextSiblingElement()) {
            MaskHandlePtr handle = CreateHandle(ReadXmlTagInt(child, QStringLiteral("type")));
            if (!handle)
                throw XmlException(LMerrInvalidData, "Mask handle type is invalid");
            AbstractProjectItem& stored = *handle;
            if (stored.LoadFromXml(child) != LMerrSuccess)
                throw XmlException(LMerrInvalidData, "Cannot load mask handle");
            m_handles.push_back(std::move(handle));
        }
    });
}

LMerr Mask::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("mask"));
        WriteXmlAttributeBool(writer, QStringLiteral("isRemove"), m_remove);
        WriteXmlAttributeBool(writer, QStringLiteral("isInverted"), m_inverted);
        WriteXmlAttributeBool(writer, QStringLiteral("isClosed"), m_closed);
        WriteXmlAttributeBool(writer, QStringLiteral("isEnabled"), m_enabled);
        WriteXmlTagWString(writer, QStringLiteral("maskName"), m_name.toStdWString(), true);
        WriteXmlTagInt(writer, QStringLiteral("feather"), m_feather);
        WriteXmlTagFloat(writer, QStringLiteral("scale"), m_scale);
        WriteXmlTagFloat(writer, QStringLiteral("zoom"), m_zoom);
        writer.writeStartElement(QStringLiteral("handleList"));
        for (const MaskHandlePtr& handle : m_handles)
            WriteChild(*handle, writer);
        writer.writeEndElement();
        writer.writeEndElement();
    });
}

// MaskList

MaskList::MaskList() = default;

MaskList::MaskList(const MaskList& other) : AbstractProjectItem(other)
{
    DeepCopy(other);
}

MaskList& MaskList::operator=(const MaskList& other)
{
    if (this != &other)
        DeepCopy(other);
    return *this;
}

MaskList::~MaskList() = default;

void MaskList::DeepCopy(const MaskList& other)
{
    idvector::DeepCopy(m_masks, other.m_masks);
    m_selected = other.m_selected;
    m_nameSuffix = other.m_nameSuffix;
}

LMerr MaskList::Add(MaskPtr mask)
{
    if (!mask)
        return LMerrInvalidData;
    if (idvector::Contains(m_masks, mask->Id()))
        return LMerrMaskPresent;
    m_masks.push_back(std::move(mask));
    return LMerrSuccess;
}

LMerr MaskList::Get(const QUuid& id, MaskPtr& mask) const
{
    return idvector::Get(m_masks, id, mask) ? LMerrSuccess : LMerrMaskMissing;
}

LMerr MaskList::Remove(const QUuid& id)
{
    return idvector::Remove(m_masks, id) ? LMerrSuccess : LMerrMaskMissing;
}

LMerr MaskList::MoveUp(const QUuid& id)
{
    return idvector::MoveUp(m_masks, id) ? LMerrSuccess : LMerrMaskMissing;
}

LMerr MaskList::MoveDown(const QUuid& id)
{
    return idvector::MoveDown(m_masks, id) ? LMerrSuccess : LMerrMaskMissing;
}

unsigned int MaskList::EnabledCount() const
{
    return idvector::EnabledCount(m_masks);
}

LMerr MaskList::IdToIndex(const QUuid& id, unsigned int& index) const
{
    const auto position = idvector::IndexOf(m_masks, id);
    if (!position)
        return LMerrIndexOutOfRange;
    index = *position + 1;
    return LMerrSuccess;
}

LMerr MaskList::IndexToID(unsigned int index, QUuid& id) const
{
    if (index == 0 || index > m_masks.size())
        return LMerrIndexOutOfRange;
    id = m_masks[index - 1]->Id();
    return LMerrSuccess;
}

LMerr MaskList::LoadFromXml(QDomElement& parent)
{
    return CatchXml([&] {
        const QDomElement list = parent.firstChildElement(QStringLiteral("maskList"));
        if (list.isNull())
            return;
        const unsigned int selectedIndex = ReadXmlTagUInt(list, QStringLiteral("currentSelectedMaskIndex"));
        m_nameSuffix = ReadXmlTagUInt(list, QStringLiteral("nameSuffix"));
        // Files from before the mode was saved start in create mode. A mode this program does not
        // know is kept as read (so a save gives it back); the canvas treats it as create mode.
        m_mode = MaskModeCreate;
        try {
            const unsigned int mode = ReadXmlTagUInt(list, QStringLiteral("currentMaskMode"));
            if (mode <= static_cast<unsigned int>(std::numeric_limits<int>::max()))
                m_mode = static_cast<MaskMode>(mode);
        } catch (const XmlException&) {
        }

        for (QDomElement child = list.firstChildElement(QStringLiteral("mask")); !child.isNull();
             child = child.nextSiblingElement()) {
            auto mask = std::make_shared<Mask>();
            AbstractProjectItem& stored = *mask;
            if (stored.LoadFromXml(child) != LMerrSuccess)
                throw XmlException(LMerrInvalidData, "Mask failed to load");
            m_masks.push_back(std::move(mask));
        }

        if (m_masks.empty() || selectedIndex == 0)
            return;
        if (IndexToID(selectedIndex, m_selected) != LMerrSuccess)
            throw XmlException(LMerrCannotWrite, "Mask index has gone out of bounds of the mask list");
    });
}

LMerr MaskList::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        unsigned int selectedIndex = 0;
        IdToIndex(m_selected, selectedIndex);
        writer.writeStartElement(QStringLiteral("maskList"));
        WriteXmlTagUInt(writer, QStringLiteral("currentSelectedMaskIndex"), selectedIndex);
        WriteXmlTagUInt(writer, QStringLiteral("nameSuffix"), m_nameSuffix);
        WriteXmlTagUInt(writer, QStringLiteral("currentMaskMode"), static_cast<unsigned int>(m_mode));
        for (const MaskPtr& mask : m_masks)
            WriteChild(*mask, writer);
        writer.writeEndElement();
    });
}

} // namespace lumo::app
