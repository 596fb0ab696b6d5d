#pragma once

#include <cstdint>

namespace Toolkit {

// A bitmap holding several images stacked top to bottom; image k starts at k x imageHeight.
class IMultiBitmapControl {
public:
    virtual ~IMultiBitmapControl() = default;
    virtual void setImageHeight(double height) { heightOfOneImage = height; }
    virtual double imageHeight() const { return heightOfOneImage; }
    virtual void setImageCount(std::int32_t count) { numberOfImages = count; }
    virtual std::int32_t imageCount() const { return numberOfImages; }
    // For a view: takes the view's height as the image height.
    virtual double imageHeightFromView();

protected:
    double heightOfOneImage = 0.0;
    std::int32_t numberOfImages = 0;
};

} // namespace Toolkit
