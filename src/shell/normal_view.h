// The image view's normal-map channel: the picture drawn as the normals its two stored
// channels give, the status texts that say where X and Y are kept, and the rule by which a
// new file chooses the channel.
#pragma once

#include <QImage>
#include <QString>

#include "formats/graphic.h"
#include "shell/pixel_readout.h"
#include "shell/view_state.h"

namespace vumo {

// The picture as normal-map colours, opaque; a null image when the layout has no X and Y.
QImage NormalMapImage(const QImage& source, const TNormalLayout& layout);
// "Normal map: X in R, Y in G, Z rebuilt", with ", signed" for signed storage.
QString NormalLayoutText(const TNormalLayout& layout);
// "n = (0.12, -0.50, 0.86)": the normal rebuilt from the stored value; empty without X and Y.
QString NormalText(const TPixelValue& value, const TNormalLayout& layout);

// Picks the channel for each new file: a file that says it holds normals is shown as one;
// any other file leaves the normal-map channel for the one shown before it was taken. A
// choice the user makes afterwards holds until the next file.
class TNormalChannelChoice {
 public:
  TViewState::TChannel ForNewFile(TViewState::TChannel current, const TNormalLayout& layout);

 private:
  TViewState::TChannel before_ = TViewState::vcColor;
};

}  // namespace vumo
