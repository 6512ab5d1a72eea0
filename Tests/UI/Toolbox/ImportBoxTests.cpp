// The import boxes of the background, the foreground and the overlay: loading by drop, dialog and
// recent list, where the dialog starts, removal, the title's switch, files going missing and coming
// back, relinking, and a reopened project's foreground kept as it was.

#include "ImagePanelTest.h"
#include "LayoutCheck.h"

#include "Controls/ButtonPopupMenu.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ThumbnailPreview.h"
#include "Controls/TitleBarParts.h"
#include "Canvas/CanvasView.h"
#include "Canvas/HandleGraphicsItems.h"
#include "Toolbox/SingleImport.h"
#include "TransformItems.h"

#include "ItemLists.h"
#include "LayerSettings.h"
#include "Mask.h"

#include <QPushButton>
#include <QTest>

namespace lumo::ui::testing {
namespace {

struct KindCase {
    app::LayerType kind;
    QString title;
    QString key;
    QString sampleFolder;
};

const std::vector<KindCase> kKinds = {
    {app::LayerTypeBackground, QStringLiteral("Background"), QStringLiteral("background"), QStringLiteral("Background")},
    {app::LayerTypeForeground, QStringLiteral("Foreground"), QStringLiteral("foreground"), QStringLiteral("Green Screen")},
    {app::LayerTypeOverlay, QStringLiteral("Overlay"), QStringLiteral("overlay"), QStringLiteral("Overlay")},
};

class ImportBoxTest : public ImagePanelTest {
protected:
    SingleImport* MakeBox(const KindCase& c) { return Show(new SingleImport(c.title, c.kind, nullptr)); }

    // The layer of the kind as the model holds it now.
    app::ImageLayerPtr ModelLayer(app::LayerType kind) const
    {
        switch (kind) {
        case app::LayerTypeBackground:
            return manager->GetBackground();
        case app::LayerTypeForeground:
            return CurrentForeground();
        default:
            return manager->GetOverlay();
        }
    }

    QString ChangeText(const SingleImport& box) const { return box.ChangeButton()->TextButton()->text(); }
};

TEST_F(ImportBoxTest, ADropOfOneFileLoadsItAndOfSeveralAsksFirst)
{
    for (const KindCase& c : kKinds) {
        SCOPED_TRACE(c.key.toStdString());
        SingleImport* box = MakeBox(c);
        QSignalSpy added(box, &SingleImport::SignalNewImageAdded);
        EXPECT_EQ(ChangeText(*box), "Add");

        const QString one = WriteImage(c.key + "-one.png");
        emit box->Thumbnail()->DragDropDataAdded(Drop({one}).get());
        ASSERT_TRUE(ModelLayer(c.kind));
        EXPECT_EQ(ModelLayer(c.kind)->Path(), one);
        EXPECT_EQ(box->LayerId(), ModelLayer(c.kind)->Id());
        EXPECT_EQ(ChangeText(*box), "Change");
        ASSERT_EQ(added.count(), 1);
        EXPECT_EQ(added.at(0).at(0).toUuid(), c.kind == app::LayerTypeForeground
                                                   ? manager->LayerList()->StaticForegroundId()
                                                   : ModelLayer(c.kind)->Id());
        EXPECT_TRUE(Dialogs().Requests().empty());

        const QStringList three = {WriteImage(c.key + "-a.png"), WriteImage(c.key + "-b.png"),
                                   WriteImage(c.key + "-c.png")};
        Dialogs().AnswerMessage(QMessageBox::Cancel);
        emit box->Thumbnail()->DragDropDataAdded(Drop(three).get());
        EXPECT_EQ(ModelLayer(c.kind)->Path(), one);
        Dialogs().AnswerMessage(QMessageBox::Ok);
        emit box->Thumbnail()->DragDropDataAdded(Drop(three).get());
        EXPECT_EQ(ModelLayer(c.kind)->Path(), three.first());
        ASSERT_EQ(Dialogs().Requests().size(), 2u);
        const MessageRequest& asked = Dialogs().Requests().back().message;
        EXPECT_EQ(asked.text, QStringLiteral("The %1 layer only supports one image.").arg(c.key));
        EXPECT_EQ(asked.title, ApplicationName);
        EXPECT_EQ(asked.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(asked.defaultButton, QMessageBox::Ok);
        // A drop leaves the recent list alone.
        EXPECT_TRUE(RecentList(c.key).isEmpty());
        delete box;
        Dialogs() = ScriptedDialogs();
    }
}

TEST_F(ImportBoxTest, TheDialogStartsInTheSampleFolderElseTheDesktopElseHome)
{
    enum Place { Samples, Desktop, Home };
    for (const KindCase& c : kKinds) {
        for (const Place place : {Home, Desktop, Samples}) {
            SCOPED_TRACE(::testing::Message() << c.key.toStdString() << " place " << place);
            if (place == Desktop) {
                ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Desktop")));
            }
            const QString samples = QDir(programFolder.path()).filePath("Sample Images/" + c.sampleFolder);
            if (place == Samples) {
                ASSERT_TRUE(QDir().mkpath(samples));
            }
            SingleImport* box = MakeBox(c);
            Dialogs().AnswerFiles({});
            box->ChangeButton()->TextButton()->click();
            const std::vector<DialogRequest> asked = Dialogs().RequestsOf(DialogRequest::Files);
            ASSERT_EQ(asked.size(), 1u);
            const QString expected = place == Samples   ? samples
                                     : place == Desktop ? QDir(home.path()).filePath("Desktop")
                                                        : home.path();
            EXPECT_EQ(asked[0].file.folder, QDir(expected).absolutePath());
            EXPECT_EQ(asked[0].file.title, QStringLiteral("Import %1 image").arg(c.key));
            EXPECT_EQ(asked[0].file.filter, ImageFileFilter);
            // Cancelled: nothing loaded, nothing remembered.
            EXPECT_TRUE(box->LayerId().isNull());
            EXPECT_TRUE(RecentList(c.key).isEmpty());
            delete box;
            Dialogs() = ScriptedDialogs();
            QDir(programFolder.path()).removeRecursively();
            QDir().mkpath(programFolder.path());
            QDir(QDir(home.path()).filePath("Desktop")).removeRecursively();
        }
    }
}

TEST_F(ImportBoxTest, TheRecentListKeepsFiveDistinctFilesNewestFirstRefusedOnesIncluded)
{
    for (const KindCase& c : kKinds) {
        SCOPED_TRACE(c.key.toStdString());
        SingleImport* box = MakeBox(c);
        QStringList written;
        for (int i = 0; i < 6; ++i)
            written.append(WriteImage(QStringLiteral("%1-%2.png").arg(c.key).arg(i)));
        // Chosen in the dialog, then the same file again from the menu.
        Dialogs().AnswerFiles({written[0]});
        box->ChangeButton()->TextButton()->click();
        box->SlotChangeImage(written[0]);
        EXPECT_EQ(RecentList(c.key), QStringList{written[0]});
        for (int i = 1; i < 6; ++i)
            box->SlotChangeImage(written[i]);
        EXPECT_EQ(RecentList(c.key), (QStringList{written[5], written[4], written[3], written[2], written[1]}));
        EXPECT_EQ(ModelLayer(c.kind)->Path(), written[5]);

        const QString refused = WriteNotAnImage(c.key + "-notes.png");
        Dialogs().AnswerMessage(QMessageBox::Ok);
        box->SlotChangeImage(refused);
        EXPECT_EQ(RecentList(c.key).first(), refused);
        EXPECT_EQ(RecentList(c.key).size(), 5);
        EXPECT_EQ(ModelLayer(c.kind)->Path(), written[5]);
        EXPECT_EQ(ChangeText(*box), "Change");
        delete box;
        Dialogs() = ScriptedDialogs();
    }
    // Each kind keeps its own list under its fixed key.
    ProgramSettings settings;
    settings.beginGroup("RecentFolders");
    EXPECT_EQ(settings.childKeys(), (QStringList{"background", "foreground", "overlay"}));
}

TEST_F(ImportBoxTest, RemoveEmptiesTheBoxAndASecondRemoveDoesNothing)
{
    for (const KindCase& c : kKinds) {
        SCOPED_TRACE(c.key.toStdString());
        SingleImport* box = MakeBox(c);
        ASSERT_TRUE(box->SetImage(WriteImage(c.key + ".png")));
        const QUuid id = box->LayerId();
        Dialogs().AnswerMessage(QMessageBox::Cancel);
        box->RemoveButton()->click();
        EXPECT_EQ(box->LayerId(), id);
        Dialogs().AnswerMessage(QMessageBox::Yes);
        box->RemoveButton()->click();
        EXPECT_TRUE(box->LayerId().isNull());
        EXPECT_EQ(ChangeText(*box), "Add");
        EXPECT_FALSE(App().GetThumbnail(id));
        const MessageRequest& asked = Dialogs().Requests().back().message;
        EXPECT_EQ(asked.text, "Are you sure you wish to remove the selected image?");
        EXPECT_EQ(asked.buttons, QMessageBox::Yes | QMessageBox::Cancel);
        box->RemoveButton()->click();
        EXPECT_EQ(Dialogs().Requests().size(), 2u);
        if (c.kind == app::LayerTypeForeground) {
            EXPECT_TRUE(manager->CurrentForegroundId().isNull());
        } else {
            EXPECT_TRUE(ModelLayer(c.kind)->Path().isEmpty());
        }
        delete box;
        Dialogs() = ScriptedDialogs();
    }
}

TEST_F(ImportBoxTest, TheTitleSwitchOfForegroundAndBackgroundTellsEvenWithoutAnImage)
{
    for (const KindCase& c : {kKinds[0], kKinds[1]}) {
        SCOPED_TRACE(c.key.toStdString());
        SingleImport* box = MakeBox(c);
        box->UpdateFromModel();
        QSignalSpy foreground(box, &SingleImport::SignalForegroundEnabled);
        QSignalSpy background(box, &SingleImport::SignalBackgroundEnabled);
        CheckBox* check = box->GetContainer()->Title()->EnableCheckBox();
        ASSERT_NE(check, nullptr);
        check->click();
        const bool isForeground = c.kind == app::LayerTypeForeground;
        EXPECT_EQ(foreground.count(), isForeground ? 1 : 0);
        EXPECT_EQ(background.count(), isForeground ? 0 : 1);
        EXPECT_FALSE(isForeground ? manager->ForegroundLayerList()->IsEnabled() : manager->GetBackground()->IsEnabled());
        EXPECT_FALSE(box->GetContainer()->Body()->isVisible());
        check->click();
        EXPECT_TRUE(isForeground ? manager->ForegroundLayerList()->IsEnabled() : manager->GetBackground()->IsEnabled());
        // The collapse button stores the open state.
        box->GetContainer()->Title()->CollapseButton()->click();
        EXPECT_FALSE(isForeground ? manager->ForegroundLayerList()->IsCollapsed()
                                  : manager->GetBackground()->IsCollapsed());
        delete box;
    }

    // Without a background layer (a project file naming none) its switch has nothing to store,
    // redraw or tell.
    const QString projectPath = files.filePath("no-background.lumo4");
    ASSERT_EQ(CurrentProject()->SaveToXml(projectPath, ApplicationVersion, "4.0"), app::LMerrSuccess);
    QFile file(projectPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString xml = QString::fromUtf8(file.readAll());
    file.close();
    const QString backgroundId = manager->GetBackground()->Id().toString();
    ASSERT_TRUE(xml.contains(QStringLiteral("backgroundId=\"%1\"").arg(backgroundId)));
    xml.replace(QStringLiteral("backgroundId=\"%1\"").arg(backgroundId),
                QStringLiteral("backgroundId=\"%1\"").arg(QUuid::createUuid().toString()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(xml.toUtf8());
    file.close();
    ASSERT_EQ(App().OpenProject(projectPath), app::LMerrSuccess);
    manager = CurrentProject()->GetLayerManager();
    ASSERT_EQ(manager->GetBackground(), nullptr);
    SingleImport* box = MakeBox(kKinds[0]);
    QSignalSpy background(box, &SingleImport::SignalBackgroundEnabled);
    layerRefreshes->clear();
    box->GetContainer()->Title()->EnableCheckBox()->click();
    EXPECT_EQ(background.count(), 0);
    EXPECT_EQ(layerRefreshes->count(), 0);
    delete box;
}

// Folding and opening a box stores its open state in the layer (the foreground's in the list) and
// redraws nothing.
TEST_F(ImportBoxTest, FoldingAndOpeningABoxStoresItsStateWithoutARedraw)
{
    for (const KindCase& c : kKinds) {
        SCOPED_TRACE(c.key.toStdString());
        SingleImport* box = MakeBox(c);
        ASSERT_TRUE(box->SetImage(WriteImage(c.key + "-fold.png")));
        const auto open = [&] {
            return c.kind == app::LayerTypeForeground ? manager->ForegroundLayerList()->IsCollapsed()
                                                      : ModelLayer(c.kind)->IsCollapsed();
        };
        ASSERT_TRUE(open());
        layerRefreshes->clear();
        canvasRefreshes->clear();
        box->GetContainer()->Title()->CollapseButton()->click();
        EXPECT_FALSE(open());
        EXPECT_FALSE(box->GetContainer()->Body()->isVisible());
        box->GetContainer()->Title()->CollapseButton()->click();
        EXPECT_TRUE(open());
        EXPECT_TRUE(box->GetContainer()->Body()->isVisible());
        EXPECT_EQ(layerRefreshes->count() + canvasRefreshes->count(), 0);
        delete box;
    }
}

// The overlay's switch shows its canvas handles again only for an overlay placed by hand.
TEST_F(ImportBoxTest, SwitchingTheOverlayOnShowsItsHandlesOnlyWhenPlacedByHand)
{
    CurrentProject()->SetCurrentToolset(app::ToolsetSectionOverlay);
    SingleImport* box = MakeBox(kKinds[2]);
    ASSERT_TRUE(box->SetImage(WriteImage("overlay-frame.png")));
    const auto fit = app::FindItemOfType<app::FitTransformItem>(
        manager->GetLayerSettings(app::LayerTypeOverlay)->Transforms(), app::TransformItemTypeFit);
    ASSERT_TRUE(fit);
    view.CreateLayerHandles(manager->GetOverlay()->Id());
    ASSERT_NE(view.LayerQuad(), nullptr);
    CheckBox* check = box->GetContainer()->Title()->EnableCheckBox();
    for (const app::FitTo placement : {app::FitToNone, app::FitToCanvas}) {
        SCOPED_TRACE(placement);
        fit->SetFit(placement);
        view.SetLayerHandlesVisible(true);
        layerRefreshes->clear();
        check->click();
        EXPECT_FALSE(manager->GetOverlay()->IsEnabled());
        EXPECT_FALSE(view.LayerQuad()->isVisible());
        check->click();
        EXPECT_TRUE(manager->GetOverlay()->IsEnabled());
        EXPECT_EQ(view.LayerQuad()->isVisible(), placement == app::FitToNone);
        // Each switch redraws the overlay.
        EXPECT_EQ(layerRefreshes->count(), 2);
    }
}

TEST_F(ImportBoxTest, AMissingFileGoesOfflineAtEachCheckAndComesBackWithoutAQuestion)
{
    for (const KindCase& c : kKinds) {
        SCOPED_TRACE(c.key.toStdString());
        SingleImport* box = MakeBox(c);
        const QString path = WriteImage(c.key + "-moving.png");
        ASSERT_TRUE(box->SetImage(path));
        const app::ImageLayerPtr layer = ModelLayer(c.kind);
        const QString away = path + ".away";
        ASSERT_TRUE(QFile::rename(path, away));
        layerRefreshes->clear();

        emit App().SignalCheckOfflineImages();
        EXPECT_TRUE(box->IsOffline());
        EXPECT_TRUE(layer->IsOffline());
        EXPECT_EQ(box->Thumbnail()->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(ChangeText(*box), "Change");
        ASSERT_EQ(layerRefreshes->count(), 1);
        EXPECT_EQ(layerRefreshes->at(0).at(1).value<app::RenderLevel>(), app::RenderLevelPostFilter);
        EXPECT_EQ(layerRefreshes->at(0).at(2).value<HXDownsampleFactor>(), HXDownsampleFactor0);
        // Each check while the file stays away redraws the layer again, and asks nothing.
        emit App().SignalCheckOfflineImages();
        EXPECT_EQ(layerRefreshes->count(), 2);

        ASSERT_TRUE(QFile::rename(away, path));
        emit App().SignalCheckOfflineImages();
        EXPECT_FALSE(box->IsOffline());
        EXPECT_FALSE(layer->IsOffline());
        EXPECT_EQ(box->Thumbnail()->cursor().shape(), Qt::ArrowCursor);
        // The same layer took its file again.
        EXPECT_EQ(ModelLayer(c.kind), layer);
        EXPECT_TRUE(App().GetThumbnail(layer->Id()));
        EXPECT_TRUE(Dialogs().Requests().empty());
        delete box;
    }
}

TEST_F(ImportBoxTest, AClickOnTheOfflinePictureRelinksTheSameLayer)
{
    SingleImport* box = MakeBox(kKinds[1]);
    const QString path = WriteImage("portrait.png");
    ASSERT_TRUE(box->SetImage(path));
    const app::ImageLayerPtr foreground = CurrentForeground();
    ASSERT_TRUE(QFile::remove(path));
    // A click on a loaded picture asks nothing.
    QTest::mouseClick(box->Thumbnail(), Qt::LeftButton);
    EXPECT_TRUE(Dialogs().Requests().empty());
    emit App().SignalCheckOfflineImages();

    Dialogs().AnswerMessage(QMessageBox::No);
    QTest::mouseClick(box->Thumbnail(), Qt::LeftButton);
    EXPECT_TRUE(box->IsOffline());
    ASSERT_TRUE(QDir().mkpath(files.filePath("found")));
    const QString relinked = WriteImage("found/portrait.png");
    Dialogs().AnswerMessage(QMessageBox::Yes).AnswerFiles({relinked});
    QTest::mouseClick(box->Thumbnail(), Qt::LeftButton);

    ASSERT_EQ(Dialogs().Requests().size(), 3u);
    const MessageRequest& asked = Dialogs().Requests()[1].message;
    EXPECT_EQ(asked.title, "Image not found");
    EXPECT_EQ(asked.text, QStringLiteral("The foreground image cannot be found in its original location.\n\n%1\n\n"
                                         "Would you like to relocate it?")
                              .arg(path));
    EXPECT_EQ(asked.buttons, QMessageBox::Yes | QMessageBox::No);
    const FileRequest& dialog = Dialogs().Requests()[2].file;
    EXPECT_EQ(dialog.title, "Relink foreground image");
    EXPECT_EQ(dialog.folder, files.path());
    EXPECT_FALSE(box->IsOffline());
    EXPECT_EQ(box->Thumbnail()->cursor().shape(), Qt::ArrowCursor);
    // The photograph keeps its layer, and a relink is no new recent file.
    EXPECT_EQ(CurrentForeground(), foreground);
    EXPECT_EQ(foreground->Path(), relinked);
    EXPECT_TRUE(RecentList("foreground").isEmpty());
}

// A project saved with a unique foreground that carries a mask, opened again.
class ReopenedForegroundTest : public ImportBoxTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ReopenedForegroundTest, KeepsItsIdNameAndSettingsAndStaysUnmodified)
{
    const bool imagesLoadedFirst = GetParam();
    SingleImport* box = MakeBox(kKinds[1]);
    ASSERT_TRUE(box->SetImage(WriteImage("portrait.png")));
    const app::ForegroundImageLayerPtr foreground = manager->GetForeground(manager->CurrentForegroundId());
    ASSERT_EQ(foreground->SetUnique(true), app::LMerrSuccess);
    foreground->SetName("Portrait");
    auto mask = std::make_shared<app::Mask>("Edge", true, false, true, true, 3, 1.0f, 1.0f);
    mask->Add(std::make_shared<app::MaskHandle>(QPointF(10, 10)));
    ASSERT_EQ(foreground->ForegroundSettings()->Masks().Add(mask), app::LMerrSuccess);
    const QString projectPath = files.filePath("portrait.lumo4");
    ASSERT_EQ(CurrentProject()->SaveToXml(projectPath, ApplicationVersion, "4.0"), app::LMerrSuccess);
    const QUuid id = foreground->Id();

    ASSERT_EQ(App().OpenProject(projectPath), app::LMerrSuccess);
    manager = CurrentProject()->GetLayerManager();
    if (imagesLoadedFirst) {
        ASSERT_TRUE(App().LoadProjectImages());
    }
    box->UpdateFromModel();

    const app::ForegroundImageLayerPtr reopened = manager->GetForeground(manager->CurrentForegroundId());
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->Id(), id);
    EXPECT_EQ(box->LayerId(), id);
    EXPECT_EQ(reopened->Name(), "Portrait");
    EXPECT_TRUE(reopened->IsUnique());
    EXPECT_EQ(manager->Count(app::LayerTypeForeground), 1);
    const app::MaskList& masks = reopened->ForegroundSettings()->Masks();
    ASSERT_EQ(masks.Size(), 1u);
    EXPECT_EQ((*masks.Begin())->MaskName(), "Edge");
    EXPECT_EQ((*masks.Begin())->Feather(), 3);
    EXPECT_TRUE(App().GetThumbnail(id));
    EXPECT_EQ(ChangeText(*box), "Change");
    EXPECT_TRUE(CurrentProject()->IsEqualToSavedProject(projectPath));
}

INSTANTIATE_TEST_SUITE_P(ImagesLoadedFirstOrByTheBox, ReopenedForegroundTest, ::testing::Bool());

TEST_F(ImportBoxTest, GrabsOfTheBoxesEmptyLoadedAndOffline)
{
    SingleImport* background = MakeBox(kKinds[0]);
    SingleImport* foreground = MakeBox(kKinds[1]);
    SingleImport* overlay = MakeBox(kKinds[2]);
    for (SingleImport* box : {background, foreground, overlay})
        box->UpdateFromModel();
    ASSERT_TRUE(foreground->SetImage(WriteImage("green.png", 400, 300, qRgb(40, 190, 70))));
    const QString sky = WriteImage("sky.png", 300, 200, qRgb(90, 140, 220));
    ASSERT_TRUE(background->SetImage(sky));
    ASSERT_TRUE(QFile::remove(sky));
    emit App().SignalCheckOfflineImages();
    ProcessEvents();
    ExpectSoundLayout(*host, "import boxes");
    EXPECT_FALSE(SaveGrab(host->grab().toImage(), "import-boxes").isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
