#include "Toolbox/TextPropertiesWidget.h"

#include "Canvas/CanvasView.h"
#include "Controls/Buttons.h"
#include "Controls/ColorPickerWidget.h"
#include "Controls/Container.h"
#include "Controls/DialControls.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"
#include "Panels/EffectWidget.h"
#include "Shell/Application.h"
#include "Shell/InterfaceConstants.h"
#include "Shell/Settings.h"
#include "Toolbox/PanelSupport.h"
#include "Toolbox/TextEdit.h"

#include "DrawableValues.h"

#include <QButtonGroup>
#include <QFontComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;

namespace {

constexpr int kSpacing = 10;
constexpr int kButtonWidth = 36;
constexpr int kTextBoxHeight = 72;
// As high as the panels' other combo boxes.
constexpr int kComboHeight = 25;
constexpr double kMaximumAngle = 359.99;
// What the title leaves beside the name and " Properties" (the bar's margins and reset button).
constexpr int kTitleReserve = 51;
const QString kSettingsGroup = QStringLiteral("TextItem");
const QString kResetFontName = QStringLiteral("Arial");

QString DecodedText(const QByteArray& base64)
{
    return QString::fromUtf8(QByteArray::fromBase64(base64));
}

QByteArray EncodedText(const QString& text)
{
    return text.toUtf8().toBase64();
}

// The theme's text-format glyphs are dark and vanish on the toolbox: these are the program's own.
ButtonDefault* AddToggle(const QString& icon, const QString& toolTip, QWidget* parent)
{
    auto* button = new ButtonDefault(QIcon(icon), QString(), parent);
    button->setCheckable(true);
    button->setFixedWidth(kButtonWidth);
    button->setToolTip(toolTip);
    return button;
}

app::TextAlignmentMethod AlignmentMethod(int id)
{
    switch (id) {
    case app::TextAlignmentCentre:
        return app::TextAlignmentCentre;
    case app::TextAlignmentRight:
        return app::TextAlignmentRight;
    default:
        return app::TextAlignmentLeft;
    }
}

// The transparency in whole percent for an opacity, rounded so that a rewrite stores it again.
int TransparencyOf(double opacity)
{
    return PercentFromFraction(1.0 - opacity);
}

double OpacityOf(int transparency)
{
    return 1.0 - transparency / 100.0;
}

} // namespace

QString LimitedText(const QString& text)
{
    if (text.size() <= MaximumTextLength)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(MaximumTextLength);
    const qsizetype end = finder.isAtBoundary() ? MaximumTextLength : finder.toPreviousBoundary();
    return text.left(std::max<qsizetype>(end, 0));
}

TextPropertiesWidget::TextPropertiesWidget(QWidget* parent) : QWidget(parent)
{
    m_container = new Container(QString(), ContainerFeatureReset, this);
    QWidget* body = m_container->Body();
    m_useOption = new ComboBox(body);
    m_useOption->addItem(tr("Use Custom"), app::TextUseCustom);
    m_useOption->addItem(tr("Use Filename"), app::TextUseFilename);
    m_useOption->addItem(tr("Use File Path"), app::TextUseFilePath);
    m_useOption->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
    m_useOption->hide();
    m_text = new TextEdit(tr("Type text here"), body);
    m_text->setFixedHeight(kTextBoxHeight);
    m_font = new QFontComboBox(body);
    m_font->setObjectName(QStringLiteral("FontCombo"));
    m_font->setFontFilters(QFontComboBox::ScalableFonts);
    m_font->setInsertPolicy(QComboBox::NoInsert);
    m_font->setMinimumWidth(20);
    m_font->setFixedHeight(kComboHeight);
    m_font->setFont(InterfaceFont());
    m_bold = AddToggle(QStringLiteral(":Icons/TextBold.png"),
                       tr("Make the text bold"), body);
    m_italic = AddToggle(QStringLiteral(":Icons/TextItalic.png"),
                         tr("Italicize the text"), body);
    m_underline = AddToggle(QStringLiteral(":Icons/TextUnderline.png"),
                            tr("Underline the text"), body);
    ButtonDefault* left = AddToggle(QStringLiteral(":Icons/TextAlignLeft.png"),
                                    tr("Align text to the left"), body);
    ButtonDefault* centre = AddToggle(QStringLiteral(":Icons/TextAlignCenter.png"), tr("Center text"), body);
    ButtonDefault* right = AddToggle(QStringLiteral(":Icons/TextAlignRight.png"), tr("Align text to the right"), body);
    m_alignment = new QButtonGroup(this);
    for (ButtonDefault* button : {left, centre, right})
        button->setAutoExclusive(true);
    m_alignment->addButton(left, app::TextAlignmentLeft);
    m_alignment->addButton(centre, app::TextAlignmentCentre);
    m_alignment->addButton(right, app::TextAlignmentRight);
    left->setChecked(true);
    m_color = new ColorPickerWidget(DefaultTextColor, body);
    m_size = new SpinSlider(app::drawable::kMinFontSize, app::TextItem::DefaultTextItemSize,
                            app::drawable::kMaxFontSize, body);
    m_transparency = new SpinSlider(0, 0, 100, body);
    m_transparency->SetSuffix(tr("%"));
    m_angle = new DoubleSpinDial(false, body, true, 0.0, kMaximumAngle, 0.0);
    m_angle->SetSuffix(tr("°"));

    auto* grid = new QGridLayout();
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(kSpacing);
    grid->setVerticalSpacing(kSpacing);
    const auto addRow = [&](int row, const QString& label, QWidget* control) {
        grid->addWidget(new ToolboxLabel(label, body), row, 0);
        grid->addWidget(control, row, 1, 1, 3);
    };
    addRow(0, tr("Font"), m_font);
    int column = 1;
    for (ButtonDefault* button : {m_bold, m_italic, m_underline})
        grid->addWidget(button, 1, column++, Qt::AlignCenter);
    column = 1;
    for (ButtonDefault* button : {left, centre, right})
        grid->addWidget(button, 2, column++, Qt::AlignCenter);
    addRow(3, tr("Color"), m_color);
    addRow(4, tr("Size"), m_size);
    addRow(5, tr("Transparency"), m_transparency);
    addRow(8, tr("Angle"), m_angle);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    bodyLayout->setSpacing(kSpacing);
    bodyLayout->addWidget(m_useOption);
    bodyLayout->addWidget(m_text);
    bodyLayout->addLayout(grid);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_container);

    connect(m_useOption, &QComboBox::currentIndexChanged, this, &TextPropertiesWidget::SlotUseOptionChanged);
    connect(m_text, &QTextEdit::textChanged, this, &TextPropertiesWidget::SlotTextStringChanged);
    connect(m_font, &QFontComboBox::currentFontChanged, this, &TextPropertiesWidget::SlotUpdateFont);
    connect(m_bold, &QPushButton::clicked, this, [this] { SlotSetFontDecoration(QStringLiteral("bold")); });
    connect(m_italic, &QPushButton::clicked, this, [this] { SlotSetFontDecoration(QStringLiteral("italic")); });
    connect(m_underline, &QPushButton::clicked, this, [this] { SlotSetFontDecoration(QStringLiteral("underline")); });
    connect(m_alignment, &QButtonGroup::idClicked, this, [this](int id) { SlotSetFontAlignment(id, true); });
    connect(m_color, &ColorPickerWidget::ColorChanged, this, &TextPropertiesWidget::SlotFontColorChanged);
    connect(m_size, &SpinSlider::SliderUpdate, this, &TextPropertiesWidget::SlotUpdateFontSize);
    connect(m_transparency, &SpinSlider::SliderUpdate, this, &TextPropertiesWidget::SlotUpdateOpacity);
    connect(m_angle, &DoubleSpinDial::DialUpdate, this, &TextPropertiesWidget::SlotUpdateAngle);
    connect(m_container, &Container::SignalReset, this, &TextPropertiesWidget::SlotResetWidgetParameters);
}

TextPropertiesWidget::~TextPropertiesWidget() = default;

app::TextItemPtr TextPropertiesWidget::CurrentTextItem() const
{
    return FindInList(CurrentTextList(), m_textId);
}

void TextPropertiesWidget::SetTextItem(bool show, bool initFromRegistry, const QUuid& id)
{
    if (isHidden() && show)
        this->show();
    m_textId = id;
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    if (initFromRegistry)
        LoadTextDefaults();
    m_textName = item->TextItemName();
    UpdateTitle();
    m_text->show();
    {
        const QSignalBlocker blocker(m_text);
        m_text->setPlainText(LimitedText(DecodedText(item->TextString())));
    }
    {
        const QSignalBlocker blocker(m_font);
        m_font->setCurrentFont(QFont(item->FontName()));
    }
    for (const auto& [button, on] : {std::pair{m_bold, item->IsBold()}, std::pair{m_italic, item->IsItalic()},
                                     std::pair{m_underline, item->IsUnderlined()}}) {
        const QSignalBlocker blocker(button);
        button->setChecked(on);
    }
    const app::TextAlignmentMethod alignment = AlignmentMethod(item->TextAlignment());
    m_alignment->button(alignment)->setChecked(true);
    m_text->ApplyAlignment(TextAlignmentFlags(alignment));
    m_color->SetColor(item->FontColor());
    m_size->SetValue(item->FontSize());
    m_transparency->SetValue(TransparencyOf(item->Opacity()));
    m_angle->SetValue(item->Angle());
}

void TextPropertiesWidget::SetTextItemName(const QUuid& id, const QString& name)
{
    if (id != m_textId)
        return;
    m_textName = name;
    UpdateTitle();
}

void TextPropertiesWidget::UpdateTitle()
{
    if (QLabel* label = m_container->Title()->TitleLabel())
        SetPropertiesTitle(*label, m_textName, width(), kTitleReserve);
}

void TextPropertiesWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UpdateTitle();
}

void TextPropertiesWidget::UseCustomText(app::TextItem& item)
{
    // The file-name options are not offered: any text shown is the item's own.
    item.SetUseOption(app::TextUseCustom);
    if (CanvasView* view = CurrentCanvasView())
        view->SetTextItemText(item.Id(), item.TextString());
    m_text->show();
}

void TextPropertiesWidget::SlotUseOptionChanged(int)
{
    if (const app::TextItemPtr item = CurrentTextItem())
        UseCustomText(*item);
}

void TextPropertiesWidget::SlotTextStringChanged()
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    QString text = m_text->toPlainText();
    if (text.size() > MaximumTextLength) {
        text = LimitedText(text);
        {
            const QSignalBlocker blocker(m_text);
            m_text->setPlainText(text);
        }
        // Aligned again, with the cursor at the end.
        m_text->ApplyAlignment(m_text->StoredAlignment());
    }
    item->SetTextString(EncodedText(text));
    UseCustomText(*item);
}

QFont TextPropertiesWidget::ShownFont(double pointSize) const
{
    QFont font(m_font->currentFont().family());
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setBold(m_bold->isChecked());
    font.setItalic(m_italic->isChecked());
    font.setUnderline(m_underline->isChecked());
    font.setPointSizeF(pointSize);
    return font;
}

void TextPropertiesWidget::ApplyFontToCanvas()
{
    if (m_textId.isNull())
        return;
    if (CanvasView* view = CurrentCanvasView())
        view->SetTextItemFont(m_textId, ShownFont(m_size->GetSpinBox()->value()));
}

void TextPropertiesWidget::SlotUpdateFont(const QFont& font)
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    item->SetFontName(font.family());
    ApplyFontToCanvas();
    SaveTextDefaults();
}

void TextPropertiesWidget::SlotSetFontDecoration(const QString& which)
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    if (which == QLatin1String("bold"))
        item->SetBold(m_bold->isChecked());
    else if (which == QLatin1String("italic"))
        item->SetItalic(m_italic->isChecked());
    else if (which == QLatin1String("underline"))
        item->SetUnderline(m_underline->isChecked());
    ApplyFontToCanvas();
    SaveTextDefaults();
}

void TextPropertiesWidget::SlotSetFontAlignment(int, bool update)
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    const app::TextAlignmentMethod alignment = AlignmentMethod(m_alignment->checkedId());
    item->SetTextAlignment(alignment);
    m_text->ApplyAlignment(TextAlignmentFlags(alignment));
    if (!update)
        return;
    if (CanvasView* view = CurrentCanvasView())
        view->SetTextItemAlignment(m_textId, m_text->StoredAlignment());
    SaveTextDefaults();
}

void TextPropertiesWidget::SlotFontColorChanged()
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    item->SetFontColor(m_color->Color());
    if (CanvasView* view = CurrentCanvasView())
        view->SetTextItemColor(m_textId, m_color->Color());
    SaveTextDefaults();
}

void TextPropertiesWidget::SlotUpdateFontSize(int size, HXDownsampleFactor factor)
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    item->SetFontSize(size);
    if (CanvasView* view = CurrentCanvasView())
        view->SetTextItemFont(m_textId, ShownFont(size));
    // A drag is remembered when it ends.
    if (factor == HXDownsampleFactor0)
        SaveTextDefaults();
}

void TextPropertiesWidget::SlotUpdateOpacity(int transparency, HXDownsampleFactor factor)
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    item->SetOpacity(OpacityOf(transparency));
    if (CanvasView* view = CurrentCanvasView())
        view->SetTextItemOpacity(m_textId, OpacityOf(transparency));
    if (factor == HXDownsampleFactor0)
        SaveTextDefaults();
}

void TextPropertiesWidget::SlotUpdateAngle(double angle, HXDownsampleFactor)
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    item->SetAngle(angle);
    if (CanvasView* view = CurrentCanvasView())
        view->UpdateTextItemTransform(m_textId);
}

void TextPropertiesWidget::ApplyToCanvas()
{
    ApplyFontToCanvas();
    CanvasView* view = CurrentCanvasView();
    if (m_textId.isNull() || view == nullptr)
        return;
    view->SetTextItemAlignment(m_textId, m_text->StoredAlignment());
    view->SetTextItemColor(m_textId, m_color->Color());
    view->SetTextItemOpacity(m_textId, OpacityOf(m_transparency->GetSpinBox()->value()));
}

void TextPropertiesWidget::SyncFromCanvas(const QUuid& id)
{
    const app::TextItemPtr item = id == m_textId ? CurrentTextItem() : nullptr;
    if (!item)
        return;
    m_size->SetValue(item->FontSize());
    m_angle->SetValue(item->Angle());
}

void TextPropertiesWidget::SlotResetWidgetParameters()
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    // Its slot stores the empty text.
    m_text->clear();
    item->SetFontName(kResetFontName);
    {
        const QSignalBlocker blocker(m_font);
        m_font->setCurrentFont(QFont(kResetFontName));
    }
    item->SetBold(false);
    item->SetItalic(false);
    item->SetUnderline(false);
    for (ButtonDefault* button : {m_bold, m_italic, m_underline}) {
        const QSignalBlocker blocker(button);
        button->setChecked(false);
    }
    m_alignment->button(app::TextAlignmentLeft)->setChecked(true);
    SlotSetFontAlignment(app::TextAlignmentLeft, false);
    item->SetFontColor(DefaultTextColor);
    m_color->SetColor(DefaultTextColor);
    item->SetFontSize(app::TextItem::DefaultTextItemSize);
    m_size->SetValue(app::TextItem::DefaultTextItemSize);
    item->SetOpacity(1.0);
    m_transparency->SetValue(0);
    item->SetPosition(QPointF(0, 0));
    item->SetAngle(0.0);
    m_angle->SetValue(0.0);
    ApplyToCanvas();
    if (CanvasView* view = CurrentCanvasView())
        view->UpdateTextItemTransform(m_textId);
}

void TextPropertiesWidget::SaveTextDefaults() const
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    ProgramSettings settings;
    settings.beginGroup(kSettingsGroup);
    settings.setValue(QStringLiteral("FontName"), item->FontName());
    settings.setValue(QStringLiteral("IsBold"), item->IsBold());
    settings.setValue(QStringLiteral("IsItalic"), item->IsItalic());
    settings.setValue(QStringLiteral("IsUnderlined"), item->IsUnderlined());
    settings.setValue(QStringLiteral("TextAlignment"), static_cast<int>(item->TextAlignment()));
    settings.setValue(QStringLiteral("FontColor"), item->FontColor());
    settings.setValue(QStringLiteral("FontSize"), item->FontSize());
    settings.setValue(QStringLiteral("Opacity"), item->Opacity());
}

void TextPropertiesWidget::LoadTextDefaults() const
{
    const app::TextItemPtr item = CurrentTextItem();
    if (!item)
        return;
    ProgramSettings settings;
    settings.beginGroup(kSettingsGroup);
    // Each key that is present and sound; the item keeps its own value for the others.
    if (settings.contains(QStringLiteral("FontName"))) {
        const QString name = settings.value(QStringLiteral("FontName")).toString();
        if (!name.isEmpty())
            item->SetFontName(name);
    }
    // With no face stored yet, a new text takes the reset's face rather than the platform's
    // default, which is a serif on a bare Linux desktop.
    if (item->FontName().isEmpty())
        item->SetFontName(kResetFontName);
    if (const auto bold = ReadBoolSetting(settings, QStringLiteral("IsBold")))
        item->SetBold(*bold);
    if (const auto italic = ReadBoolSetting(settings, QStringLiteral("IsItalic")))
        item->SetItalic(*italic);
    if (const auto underline = ReadBoolSetting(settings, QStringLiteral("IsUnderlined")))
        item->SetUnderline(*underline);
    if (const auto alignment = ReadIntSetting(settings, QStringLiteral("TextAlignment"), app::TextAlignmentLeft,
                                              app::TextAlignmentRight))
        item->SetTextAlignment(static_cast<app::TextAlignmentMethod>(*alignment));
    if (settings.contains(QStringLiteral("FontColor"))) {
        const QColor colour = settings.value(QStringLiteral("FontColor")).value<QColor>();
        if (colour.isValid())
            item->SetFontColor(colour);
    }
    if (const auto size = ReadIntSetting(settings, QStringLiteral("FontSize"), app::drawable::kMinFontSize,
                                         app::drawable::kMaxFontSize))
        item->SetFontSize(*size);
    if (const auto opacity = ReadRealSetting(settings, QStringLiteral("Opacity"), 0.0, 1.0))
        item->SetOpacity(*opacity);
}

} // namespace lumo::ui
