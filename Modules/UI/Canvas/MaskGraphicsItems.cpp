#include "Canvas/MaskGraphicsItems.h"

#include "Canvas/CanvasView.h"
#include "Canvas/GraphicsItemDeleter.h"
#include "Shell/Application.h"
#include "Shell/InterfaceConstants.h"

#include "Project.h"

#include <QAction>
#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLineF>
#include <QMenu>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace lumo::ui {

namespace {

// The handles' context menu, in the toolbox's dark colours.
const QString kMenuStyleSheet = QStringLiteral(
    "QMenu { color: #cbcbcb; border: 1px solid #4d4d4d; background-color: #2c2c2c; }\t\t\t"
    "QMenu::item { padding: 4px 20px 4px 20px; border: 1px solid transparent; }\t\t\t"
    "QMenu::item:selected { background-color: #4d4d4d; }\t\t\t"
    "QMenu::item::disabled { color: #666666; }\t\t\t"
    "QMenu::separator { height: 1px; background: #4d4d4d; }");

// The curve parameter is sampled in thousandths.
constexpr int kCurveSamples = 1000;

QPen CosmeticPen(const QColor& colour, qreal width, Qt::PenStyle style)
{
    QPen pen(colour, width, style, Qt::SquareCap, Qt::BevelJoin);
    pen.setCosmetic(true);
    return pen;
}

// Qt's origin, compared exactly (QPointF's == is fuzzy near it).
bool IsOrigin(const QPointF& p)
{
    return p.x() == 0 && p.y() == 0;
}

void EmitDragDropClosed(bool closed)
{
    if (Application* app = Application::Instance())
        emit app->SignalMaskDragDropClosed(closed);
}

void EmitEnableClosed(bool enable)
{
    if (Application* app = Application::Instance())
        emit app->SignalMaskEnableClosed(enable);
}

float CanvasScale()
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    return project ? project->GetCanvas().Scale() : 1.0f;
}

// Appends the segment from a to b: the control points are the handles' own.
void AddSegment(QPainterPath& path, const MaskHandleGraphicsItem& a, const MaskHandleGraphicsItem& b)
{
    path.cubicTo(a.pos() + a.RightOffset(), b.pos() + b.LeftOffset(), b.pos());
}

} // namespace

QRectF ScreenConstantRect(const QGraphicsItem& item, const QRectF& screenRect)
{
    const QTransform toScene = item.sceneTransform();
    const QTransform linear(toScene.m11(), toScene.m12(), 0, toScene.m21(), toScene.m22(), 0, 0, 0, toScene.m33());
    bool invertible = false;
    const QTransform fromScreen = linear.inverted(&invertible);
    return invertible ? fromScreen.mapRect(screenRect) : screenRect;
}

QPainterPath MaskSegmentPath(const MaskHandleGraphicsItem& first, const MaskHandleGraphicsItem& second)
{
    QPainterPath path(first.pos());
    AddSegment(path, first, second);
    return path;
}

float NearestCurveParameter(const QPainterPath& path, const QPointF& point)
{
    float nearest = 0;
    int nearestDistance = INT_MAX;
    for (int i = 0; i < kCurveSamples; ++i) {
        const qreal t = i * 0.001;
        const int distance = (path.pointAtPercent(t) - point).toPoint().manhattanLength();
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = static_cast<float>(t);
        }
    }
    return nearest;
}

// ---- Control points

MaskControllerGraphicsItem::MaskControllerGraphicsItem(const QPointF& offset, MaskHandleGraphicsItem* handle)
    : QGraphicsItem(handle), m_pen(CosmeticPen(canvascolors::ControlPoint, 1, Qt::SolidLine))
{
    setPos(offset);
    setZValue(ZValue);
}

bool MaskControllerGraphicsItem::Hits(const QPointF& scenePoint) const
{
    return ScreenConstantRect(*this, HitRect).contains(mapFromScene(scenePoint));
}

QRectF MaskControllerGraphicsItem::boundingRect() const
{
    return ScreenConstantRect(*this, MarkRect);
}

void MaskControllerGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/,
                                       QWidget* /*widget*/)
{
    if (parentItem() == nullptr || !parentItem()->isSelected())
        return;
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(m_pen);
    painter->drawEllipse(boundingRect());
}

// ---- Handles

MaskHandleGraphicsItem::MaskHandleGraphicsItem(const QPointF& position, bool settled, QGraphicsItem* shape)
    : QGraphicsItem(shape), m_settled(settled)
{
    setPos(position);
    Initialise();
}

MaskHandleGraphicsItem::MaskHandleGraphicsItem(const QPointF& position, const QPointF& rightOffset,
                                               const QPointF& leftOffset, QGraphicsItem* shape)
    : QGraphicsItem(shape)
{
    setPos(position);
    Initialise();
    CreateControllers(rightOffset, leftOffset);
}

void MaskHandleGraphicsItem::Initialise()
{
    m_id = QUuid::createUuid();
    m_fill = canvascolors::White;
    m_pen = CosmeticPen(canvascolors::Accent, 1, Qt::SolidLine);
    m_controllerLinePen = CosmeticPen(canvascolors::Grey, 0.8, Qt::SolidLine);
    setZValue(ZValue);
    setFlag(QGraphicsItem::ItemIsSelectable, true);
    setFlag(QGraphicsItem::ItemIsMovable, m_settled);
    // From here on every move reshapes the outline.
    setFlag(QGraphicsItem::ItemSendsGeometryChanges, true);
    setAcceptHoverEvents(true);
    // Presses on the control points come to the handle, which drags them.
    setHandlesChildEvents(true);
    setCursor(QCursor(QPixmap(QStringLiteral(":/Icons/MaskMoveCursor.png")), 0, 0));

    m_straightAction = new QAction(QIcon(QStringLiteral(":/Icons/StraightPoint.png")), tr("Make straight"), this);
    m_curvedAction = new QAction(QIcon(QStringLiteral(":/Icons/CurvedPoint.png")), tr("Make curved"), this);
    m_deleteAction = new QAction(QIcon(QStringLiteral(":/Icons/Minus.png")), tr("Delete"), this);
    connect(m_straightAction, &QAction::triggered, this, &MaskHandleGraphicsItem::MakeHandlesStraight);
    connect(m_curvedAction, &QAction::triggered, this, &MaskHandleGraphicsItem::MakeHandlesCurved);
    connect(m_deleteAction, &QAction::triggered, this, &MaskHandleGraphicsItem::DeleteHandles);
}

QPointF MaskHandleGraphicsItem::RightOffset() const
{
    return m_right != nullptr ? m_right->pos() : QPointF();
}

QPointF MaskHandleGraphicsItem::LeftOffset() const
{
    return m_left != nullptr ? m_left->pos() : QPointF();
}

void MaskHandleGraphicsItem::OutlineChanging()
{
    prepareGeometryChange();
    ShapeChanging();
}

void MaskHandleGraphicsItem::ShapeChanging()
{
    if (parentItem() != nullptr && parentItem()->type() == CanvasItemMaskShape)
        static_cast<MaskShapeGraphicsItem*>(parentItem())->OutlineChanging();
}

void MaskHandleGraphicsItem::CreateControllers(const QPointF& rightOffset, const QPointF& leftOffset)
{
    OutlineChanging();
    m_right = new MaskControllerGraphicsItem(rightOffset, this);
    m_left = new MaskControllerGraphicsItem(leftOffset, this);
    m_right->setVisible(isSelected());
    m_left->setVisible(isSelected());
}

void MaskHandleGraphicsItem::RemoveControllers()
{
    for (MaskControllerGraphicsItem** controller : {&m_right, &m_left}) {
        if (*controller == nullptr)
            continue;
        OutlineChanging();
        // Detached first, so that the handle, if it goes before the deleter runs, cannot delete
        // the control point a second time.
        (*controller)->setParentItem(nullptr);
        RemoveCanvasItem(*controller);
    }
}

void MaskHandleGraphicsItem::CreateSmoothControllers(const QPointF& next, const QPointF& previous)
{
    if (m_right != nullptr || m_left != nullptr)
        return;
    const QPointF here = pos();
    QPointF right;
    QPointF left;
    if (IsOrigin(previous)) {
        right = (next + here) / 2 - here;
        left = -right;
    } else if (IsOrigin(next)) {
        left = (previous + here) / 2 - here;
        right = -left;
    } else {
        // The midpoints of the two edges, shifted together so that the point dividing them as the
        // edges' lengths do falls on the handle.
        const QPointF towardsPrevious = (previous + here) / 2;
        const QPointF towardsNext = (next + here) / 2;
        const qreal previousLength = QLineF(previous, here).length();
        const qreal sum = previousLength + QLineF(next, here).length();
        const qreal ratio = previousLength / (sum == 0 ? 1 : sum);
        const QPointF divide = towardsPrevious + ratio * (towardsNext - towardsPrevious);
        left = towardsPrevious - divide;
        right = towardsNext - divide;
    }
    CreateControllers(right, left);
}

void MaskHandleGraphicsItem::MoveRightController(const QPointF& offset)
{
    MoveController(m_right, m_left, offset);
}

void MaskHandleGraphicsItem::MoveLeftController(const QPointF& offset)
{
    MoveController(m_left, m_right, offset);
}

void MaskHandleGraphicsItem::MoveController(MaskControllerGraphicsItem* moved, MaskControllerGraphicsItem* other,
                                            const QPointF& offset)
{
    if (moved == nullptr || other == nullptr)
        return;
    OutlineChanging();
    moved->setPos(offset);
    QLineF line(offset, QPointF());
    // On the centre there is no direction to keep the other one opposite to.
    if (line.length() == 0)
        return;
    line.setLength(m_keepCollinear ? line.length() + QLineF(other->pos(), QPointF()).length() : 2 * line.length());
    other->setPos(line.p2());
}

void MaskHandleGraphicsItem::SetRightOffset(const QPointF& offset)
{
    if (m_right == nullptr)
        return;
    OutlineChanging();
    m_right->setPos(offset);
}

void MaskHandleGraphicsItem::SetLeftOffset(const QPointF& offset)
{
    if (m_left == nullptr)
        return;
    OutlineChanging();
    m_left->setPos(offset);
}

void MaskHandleGraphicsItem::SetControllersVisible(bool visible)
{
    if (!IsCurved())
        return;
    for (MaskControllerGraphicsItem* controller : {m_right, m_left}) {
        prepareGeometryChange();
        controller->setVisible(visible);
    }
}

std::unique_ptr<QMenu> MaskHandleGraphicsItem::ContextMenu()
{
    auto menu = std::make_unique<QMenu>();
    menu->setStyleSheet(kMenuStyleSheet);
    const auto* shape = parentItem() != nullptr && parentItem()->type() == CanvasItemMaskShape
                            ? static_cast<const MaskShapeGraphicsItem*>(parentItem())
                            : nullptr;
    if (isSelected() && shape != nullptr && shape->SelectedHandleCount() > 1) {
        const MaskHandleKinds kinds = shape->SelectedHandleKinds();
        m_straightAction->setText(tr("Make all selected straight"));
        m_curvedAction->setText(tr("Make all selected curved"));
        m_deleteAction->setText(tr("Delete all selected"));
        if (kinds == MaskHandleKinds::CurvedOnly || kinds == MaskHandleKinds::Both)
            menu->addAction(m_straightAction);
        if (kinds == MaskHandleKinds::StraightOnly || kinds == MaskHandleKinds::Both)
            menu->addAction(m_curvedAction);
    } else {
        if (scene() != nullptr)
            scene()->clearSelection();
        setSelected(true);
        m_straightAction->setText(tr("Make straight"));
        m_curvedAction->setText(tr("Make curved"));
        m_deleteAction->setText(tr("Delete"));
        menu->addAction(IsCurved() ? m_straightAction : m_curvedAction);
    }
    menu->addSeparator();
    menu->addAction(m_deleteAction);
    return menu;
}

void MaskHandleGraphicsItem::MakeHandlesStraight()
{
    RunGuarded([] {
        if (CanvasView* view = Application::Instance()->GetCanvasView())
            view->MakeSelectedMaskHandlesStraight();
    });
}

void MaskHandleGraphicsItem::MakeHandlesCurved()
{
    RunGuarded([] {
        if (CanvasView* view = Application::Instance()->GetCanvasView())
            view->MakeSelectedMaskHandlesCurved();
    });
}

void MaskHandleGraphicsItem::DeleteHandles()
{
    RunGuarded([] {
        if (CanvasView* view = Application::Instance()->GetCanvasView())
            view->DeleteSelectedMaskHandles();
    });
}

QRectF MaskHandleGraphicsItem::boundingRect() const
{
    QRectF rect = ScreenConstantRect(*this, MarkRect);
    for (const MaskControllerGraphicsItem* controller : {m_right, m_left})
        if (controller != nullptr && controller->isVisible())
            rect |= mapRectFromItem(controller, controller->boundingRect());
    return rect;
}

QPainterPath MaskHandleGraphicsItem::shape() const
{
    QPainterPath path;
    path.addRect(ScreenConstantRect(*this, MarkRect));
    return path;
}

void MaskHandleGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/, QWidget* /*widget*/)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(isSelected() || m_hovered ? QBrush(m_fill) : QBrush(Qt::NoBrush));
    if (IsCurved() && isSelected()) {
        // Lines from the centre to each control point, stopping at its circle.
        painter->setPen(m_controllerLinePen);
        for (const MaskControllerGraphicsItem* controller : {m_right, m_left}) {
            QLineF line(QPointF(), controller->pos());
            const qreal length = line.length() - controller->boundingRect().width() / 2;
            if (length > 0) {
                line.setLength(length);
                painter->drawLine(line);
            }
        }
    }
    painter->setPen(m_pen);
    const QRectF mark = ScreenConstantRect(*this, MarkRect);
    if (IsCurved())
        painter->drawEllipse(mark);
    else
        painter->drawRect(mark);
}

void MaskHandleGraphicsItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu = ContextMenu();
    // A command may take this handle away; it is deleted from the event loop, after this returns.
    menu->exec(event->screenPos());
}

void MaskHandleGraphicsItem::hoverEnterEvent(QGraphicsSceneHoverEvent* event)
{
    m_hovered = true;
    if (!isSelected())
        m_fill = canvascolors::Hover;
    update();
    QGraphicsItem::hoverEnterEvent(event);
}

void MaskHandleGraphicsItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    m_hovered = false;
    m_fill = canvascolors::White;
    update();
    QGraphicsItem::hoverLeaveEvent(event);
}

bool MaskHandleGraphicsItem::IsLongPull(const QPointF& at) const
{
    const int pull = (at - m_pressPosition).toPoint().manhattanLength();
    return static_cast<int>(static_cast<float>(pull) * CanvasScale()) > PullDistance;
}

void MaskHandleGraphicsItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    m_pressPosition = event->pos();
    for (MaskControllerGraphicsItem* controller : {m_right, m_left}) {
        // A hidden control point is not under the pointer, whatever its place.
        if (controller == nullptr || !controller->isVisible() || !controller->Hits(event->scenePos()))
            continue;
        setFlag(QGraphicsItem::ItemIsMovable, false);
        if (event->button() == Qt::LeftButton) {
            (controller == m_right ? m_draggingRight : m_draggingLeft) = true;
            m_keepCollinear = !event->modifiers().testFlag(Qt::ControlModifier);
        }
    }
    if (m_closing) {
        setFlag(QGraphicsItem::ItemIsMovable, false);
        SetLeftOffset(QPointF());
    }
    QGraphicsItem::mousePressEvent(event);
}

void MaskHandleGraphicsItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    const QPointF at = event->pos();
    // Just placed: a pull draws both control points out, the arriving one mirrored through the
    // press.
    if (!m_settled) {
        if (!IsCurved()) {
            if (IsLongPull(at))
                CreateControllers(at, at);
        } else {
            OutlineChanging();
            m_right->setPos(at);
            QLineF mirror(m_pressPosition, at);
            mirror.setAngle(mirror.angle() + 180);
            m_left->setPos(mirror.p2());
        }
    }
    m_keepCollinear = !event->modifiers().testFlag(Qt::ControlModifier);
    if (IsCurved()) {
        if (m_draggingRight)
            MoveRightController(at);
        if (m_draggingLeft)
            MoveLeftController(at);
    }
    // Closing on this first handle: the pull shapes the closing curve through it.
    if (m_closing) {
        if (!IsCurved()) {
            if (IsLongPull(at))
                CreateControllers(at, at);
            m_settled = false;
        } else {
            OutlineChanging();
            QLineF throughCentre(at, QPointF());
            throughCentre.setLength(2 * throughCentre.length());
            m_left->setPos(throughCentre.p2());
            QLineF towardsPointer(QPointF(), at);
            if (towardsPointer.length() > 0) {
                towardsPointer.setLength(QLineF(QPointF(), m_right->pos()).length());
                m_right->setPos(towardsPointer.p2());
            }
        }
    }
    QGraphicsItem::mouseMoveEvent(event);
}

void MaskHandleGraphicsItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    m_settled = true;
    setFlag(QGraphicsItem::ItemIsMovable, true);
    m_closing = false;
    m_draggingRight = false;
    m_draggingLeft = false;
    m_keepCollinear = true;
    QGraphicsItem::mouseReleaseEvent(event);
}

QVariant MaskHandleGraphicsItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == QGraphicsItem::ItemPositionChange) {
        ShapeChanging();
    } else if (change == QGraphicsItem::ItemSelectedChange && scene() != nullptr) {
        SetControllersVisible(value.toBool());
        if (value.toBool())
            m_fill = canvascolors::White;
    }
    return QGraphicsItem::itemChange(change, value);
}

// ---- The outline

MaskShapeGraphicsItem::MaskShapeGraphicsItem()
    : m_fill(canvascolors::AccentFaint),
      m_featherColour(canvascolors::CyanFill),
      m_outlinePen(CosmeticPen(canvascolors::LightGreen, 1, Qt::DashLine))
{
    // An odd-length pattern is completed with a gap of 1; give it whole to keep Qt quiet.
    m_outlinePen.setDashPattern({5, 8, 5, 1});
    setZValue(ZValue);
    setFlag(QGraphicsItem::ItemIsSelectable, true);
}

// The handles and their control points are child items and go with the outline.
MaskShapeGraphicsItem::~MaskShapeGraphicsItem() = default;

void MaskShapeGraphicsItem::SetClosed(bool resetFirstLeftController, bool closed)
{
    if (resetFirstLeftController && !m_handles.isEmpty())
        m_handles.first()->SetLeftOffset(QPointF());
    prepareGeometryChange();
    m_closed = closed;
    EmitDragDropClosed(closed);
}

void MaskShapeGraphicsItem::SetFeather(int feather)
{
    prepareGeometryChange();
    m_feather = feather;
}

void MaskShapeGraphicsItem::SetInverted(bool inverted)
{
    prepareGeometryChange();
    m_inverted = inverted;
}

MaskHandleGraphicsItem* MaskShapeGraphicsItem::AppendHandle(const QPointF& position)
{
    prepareGeometryChange();
    auto* handle = new MaskHandleGraphicsItem(position, true, this);
    m_handles.append(handle);
    return handle;
}

MaskHandleGraphicsItem* MaskShapeGraphicsItem::AppendCurvedHandle(const QPointF& position, const QPointF& rightOffset,
                                                                  const QPointF& leftOffset)
{
    prepareGeometryChange();
    auto* handle = new MaskHandleGraphicsItem(position, rightOffset, leftOffset, this);
    m_handles.append(handle);
    return handle;
}

void MaskShapeGraphicsItem::AddHandleAt(const QPointF& scenePoint)
{
    const QPointF point = mapFromScene(scenePoint);
    prepareGeometryChange();
    if (InsertHandleOnCurve(point))
        return;
    // A closed outline takes new points only on itself.
    if (m_closed)
        return;
    // Unsettled until the press that placed it is released: the press now reaches it and a pull
    // draws its control points out.
    m_handles.append(new MaskHandleGraphicsItem(point, false, this));
}

bool MaskShapeGraphicsItem::CloseAtHandle(const QUuid& handleId)
{
    if (m_closed || m_handles.size() <= 2 || m_handles.first()->Id() != handleId)
        return false;
    m_handles.first()->SetClosing(true);
    prepareGeometryChange();
    m_closed = true;
    EmitDragDropClosed(true);
    return true;
}

bool MaskShapeGraphicsItem::InsertHandleOnCurve(const QPointF& point)
{
    for (int i = 0; i + 1 < m_handles.size(); ++i) {
        if (MaskHandleGraphicsItem* handle = SplitSegmentAt(point, m_handles.at(i), m_handles.at(i + 1))) {
            m_handles.insert(i + 1, handle);
            return true;
        }
    }
    if (m_closed && m_handles.size() >= 2) {
        if (MaskHandleGraphicsItem* handle = SplitSegmentAt(point, m_handles.last(), m_handles.first())) {
            m_handles.append(handle);
            return true;
        }
    }
    return false;
}

MaskHandleGraphicsItem* MaskShapeGraphicsItem::SplitSegmentAt(const QPointF& point, MaskHandleGraphicsItem* first,
                                                              MaskHandleGraphicsItem* second)
{
    // Near the drawn curve on screen: inside a band along it, not anywhere between the curve and
    // its chord (which is what the filled segment would test).
    const QPainterPath segment = MaskSegmentPath(*first, *second);
    const QTransform toScene = sceneTransform();
    QPainterPathStroker stroker;
    stroker.setWidth(2 * InsertTolerance);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    if (!stroker.createStroke(toScene.map(segment)).contains(toScene.map(point)))
        return nullptr;

    // Split the cubic at the nearest parameter (de Casteljau): the two halves draw the same curve.
    const qreal t = NearestCurveParameter(segment, point);
    const QPointF p0 = first->pos();
    const QPointF p1 = p0 + first->RightOffset();
    const QPointF p3 = second->pos();
    const QPointF p2 = p3 + second->LeftOffset();
    const QPointF q0 = p0 + t * (p1 - p0);
    const QPointF q1 = p1 + t * (p2 - p1);
    const QPointF q2 = p2 + t * (p3 - p2);
    const QPointF r0 = q0 + t * (q1 - q0);
    const QPointF r1 = q1 + t * (q2 - q1);
    const QPointF split = r0 + t * (r1 - r0);
    if (first->IsCurved() || second->IsCurved()) {
        first->SetRightOffset(q0 - p0);
        second->SetLeftOffset(q2 - p3);
        return new MaskHandleGraphicsItem(split, r1 - split, r0 - split, this);
    }
    return new MaskHandleGraphicsItem(split, true, this);
}

void MaskShapeGraphicsItem::MakeSelectedHandlesStraight()
{
    for (MaskHandleGraphicsItem* handle : std::as_const(m_handles))
        if (handle->isSelected())
            handle->RemoveControllers();
}

void MaskShapeGraphicsItem::MakeSelectedHandlesCurved()
{
    const int count = static_cast<int>(m_handles.size());
    if (count < 2)
        return;
    // Qt's origin stands for a missing neighbour (the ends of an open path).
    const auto position = [this](int index) { return m_handles.at(index)->pos(); };
    for (int i = 0; i < count; ++i) {
        MaskHandleGraphicsItem* handle = m_handles.at(i);
        if (!handle->isSelected())
            continue;
        QPointF next;
        QPointF previous;
        if (count == 2) {
            (i == 0 ? next : previous) = position(1 - i);
        } else if (i == 0) {
            next = position(1);
            previous = m_closed ? position(count - 1) : QPointF();
        } else if (i == count - 1) {
            next = m_closed ? position(0) : QPointF();
            previous = position(count - 2);
        } else {
            next = position(i + 1);
            previous = position(i - 1);
        }
        handle->CreateSmoothControllers(next, previous);
    }
}

void MaskShapeGraphicsItem::DeleteSelectedHandles()
{
    prepareGeometryChange();
    for (;;) {
        const auto selected = std::find_if(m_handles.begin(), m_handles.end(),
                                           [](const MaskHandleGraphicsItem* h) { return h->isSelected(); });
        if (selected == m_handles.end())
            break;
        MaskHandleGraphicsItem* handle = *selected;
        m_handles.erase(selected);
        // Detached first: the outline, if it goes before the deleter runs, must not delete it too.
        handle->setParentItem(nullptr);
        RemoveCanvasItem(handle);
    }
    if (m_closed && m_handles.size() < 3) {
        m_closed = false;
        EmitDragDropClosed(false);
    }
    EmitEnableClosed(m_handles.size() > 2);
}

int MaskShapeGraphicsItem::SelectedHandleCount() const
{
    return static_cast<int>(std::count_if(m_handles.begin(), m_handles.end(),
                                          [](const MaskHandleGraphicsItem* h) { return h->isSelected(); }));
}

MaskHandleKinds MaskShapeGraphicsItem::SelectedHandleKinds() const
{
    bool straight = false;
    bool curved = false;
    for (const MaskHandleGraphicsItem* handle : m_handles) {
        if (!handle->isSelected())
            continue;
        (handle->IsCurved() ? curved : straight) = true;
    }
    if (straight && curved)
        return MaskHandleKinds::Both;
    if (curved)
        return MaskHandleKinds::CurvedOnly;
    return straight ? MaskHandleKinds::StraightOnly : MaskHandleKinds::None;
}

QPainterPath MaskShapeGraphicsItem::shape() const
{
    QPainterPath path;
    if (m_handles.size() < 2)
        return path;
    path.moveTo(m_handles.first()->pos());
    for (int i = 0; i + 1 < m_handles.size(); ++i)
        AddSegment(path, *m_handles.at(i), *m_handles.at(i + 1));
    if (m_closed)
        AddSegment(path, *m_handles.last(), *m_handles.first());
    return path;
}

QRectF MaskShapeGraphicsItem::ScreenRect(const QWidget* widget) const
{
    QRectF screen;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screen = QRectF(QPointF(), primary->geometry().size());
    // A view wider than the primary screen (spanning screens) is covered too.
    if (widget != nullptr)
        screen |= QRectF(widget->rect());
    bool invertible = false;
    const QTransform fromScene = sceneTransform().inverted(&invertible);
    return invertible ? fromScene.mapRect(screen) : screen;
}

QRectF MaskShapeGraphicsItem::boundingRect() const
{
    if (!isEnabled())
        return {};
    QRectF rect = childrenBoundingRect();
    const QPainterPath outline = shape();
    if (!outline.isEmpty()) {
        // The curves and the feather band reach beyond the points; an inverted outline tints the
        // whole screen.
        rect |= outline.controlPointRect().adjusted(-m_feather, -m_feather, m_feather, m_feather);
        if (m_closed && m_inverted)
            rect |= ScreenRect(nullptr);
    }
    if (rect.width() <= 0 || rect.height() <= 0)
        return {};
    return rect;
}

void MaskShapeGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/, QWidget* widget)
{
    const QPainterPath outline = shape();
    if (outline.isEmpty())
        return;
    painter->setRenderHint(QPainter::Antialiasing, true);
    if (m_closed && m_inverted) {
        QPainterPath outside;
        outside.setFillRule(Qt::OddEvenFill);
        outside.addRect(ScreenRect(widget));
        outside.addPath(outline);
        painter->setPen(Qt::NoPen);
        painter->setBrush(m_fill);
        painter->drawPath(outside);
    }
    if (m_feather > 0) {
        // In outline units: the band scales with the zoom as the feather does.
        painter->setPen(QPen(m_featherColour, 2.0 * m_feather, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(outline);
    }
    painter->setPen(m_outlinePen);
    painter->setBrush(m_closed && !m_inverted ? QBrush(m_fill) : QBrush(Qt::NoBrush));
    painter->drawPath(outline);
}

void MaskShapeGraphicsItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isSelected() && m_closed)
        m_moving = true;
    QGraphicsItem::mousePressEvent(event);
}

void MaskShapeGraphicsItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_moving) {
        const QPointF by = event->pos() - event->lastPos();
        for (MaskHandleGraphicsItem* handle : std::as_const(m_handles))
            handle->moveBy(by.x(), by.y());
    }
    QGraphicsItem::mouseMoveEvent(event);
}

void MaskShapeGraphicsItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    m_moving = false;
    QGraphicsItem::mouseReleaseEvent(event);
}

} // namespace lumo::ui
