#include "GreenScreenProject.h"

#include "Shell/Identity.h"

#include <gtest/gtest.h>

namespace lumo::ui::testing {

GreenScreenProject WriteGreenScreenProject(const QString& folder, double megapixels)
{
    GreenScreenProject result;
    static_cast<lumora::samples::GreenScreenProjectFiles&>(result) = lumora::samples::WriteGreenScreenProject(
        folder, {.megapixels = megapixels, .imageFormat = "PNG", .applicationVersion = ApplicationVersion});
    return result;
}

void LoadLayerImages(Application& app)
{
    ASSERT_TRUE(app.LoadProjectImages()) << "a layer image of the project did not load";
}

} // namespace lumo::ui::testing
