// GL state changes of block drawing, held back until the next primitive needs them: a switch that
// is undone before anything is drawn costs nothing, so blocks drawn one after another share their
// state while every primitive still meets exactly the state requested for it.
#pragma once

#include <cstdint>

class DrawState {
  public:
    // Capabilities handled: GL_TEXTURE_2D, GL_ALPHA_TEST, GL_BLEND, GL_CULL_FACE; others are
    // passed to GL at once.
    void enable(unsigned cap) { request(cap, kOn); }
    void disable(unsigned cap) { request(cap, kOff); }
    void bindTexture(unsigned name);
    void alphaFunc(unsigned func, float ref);
    void blendFunc(unsigned source, unsigned destination);
    // Issues the GL calls that make the current state the requested one; call before glBegin and
    // once drawing is done.
    void apply();

  private:
    enum Setting : uint8_t { kUnknown, kOn, kOff };
    static const int kCaps = 4;

    void request(unsigned cap, Setting s);

    Setting wanted_[kCaps] = {kUnknown, kUnknown, kUnknown, kUnknown};
    Setting current_[kCaps] = {kUnknown, kUnknown, kUnknown, kUnknown};
    bool textureWanted_ = false;
    bool textureKnown_ = false;
    unsigned texture_ = 0;
    unsigned boundTexture_ = 0;
    bool alphaWanted_ = false;
    bool alphaKnown_ = false;
    unsigned alphaFunc_ = 0;
    float alphaRef_ = 0.0f;
    unsigned setAlphaFunc_ = 0;
    float setAlphaRef_ = 0.0f;
    bool blendWanted_ = false;
    bool blendKnown_ = false;
    unsigned blend_[2] = {0, 0};
    unsigned setBlend_[2] = {0, 0};
};
