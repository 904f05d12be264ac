#include <GL/gl.h>

#include "draw_state.h"

namespace {
const GLenum kCapList[4] = {GL_TEXTURE_2D, GL_ALPHA_TEST, GL_BLEND, GL_CULL_FACE};
} // namespace

void DrawState::request(unsigned cap, Setting s) {
    for (int i = 0; i < kCaps; ++i) {
        if (kCapList[i] == cap) {
            wanted_[i] = s;
            return;
        }
    }
    if (s == kOn)
        glEnable(cap);
    else
        glDisable(cap);
}

void DrawState::bindTexture(unsigned name) {
    textureWanted_ = true;
    texture_ = name;
}

void DrawState::alphaFunc(unsigned func, float ref) {
    alphaWanted_ = true;
    alphaFunc_ = func;
    alphaRef_ = ref;
}

void DrawState::blendFunc(unsigned source, unsigned destination) {
    blendWanted_ = true;
    blend_[0] = source;
    blend_[1] = destination;
}

void DrawState::apply() {
    for (int i = 0; i < kCaps; ++i) {
        if (wanted_[i] == kUnknown || wanted_[i] == current_[i]) continue;
        if (wanted_[i] == kOn)
            glEnable(kCapList[i]);
        else
            glDisable(kCapList[i]);
        current_[i] = wanted_[i];
    }
    if (textureWanted_ && (!textureKnown_ || boundTexture_ != texture_)) {
        glBindTexture(GL_TEXTURE_2D, texture_);
        boundTexture_ = texture_;
        textureKnown_ = true;
    }
    if (alphaWanted_ &&
        (!alphaKnown_ || setAlphaFunc_ != alphaFunc_ || setAlphaRef_ != alphaRef_)) {
        glAlphaFunc(alphaFunc_, alphaRef_);
        setAlphaFunc_ = alphaFunc_;
        setAlphaRef_ = alphaRef_;
        alphaKnown_ = true;
    }
    if (blendWanted_ && (!blendKnown_ || setBlend_[0] != blend_[0] || setBlend_[1] != blend_[1])) {
        glBlendFunc(blend_[0], blend_[1]);
        setBlend_[0] = blend_[0];
        setBlend_[1] = blend_[1];
        blendKnown_ = true;
    }
}
