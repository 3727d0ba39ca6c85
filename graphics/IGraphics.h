// Placeholder for the editor's graphics object: the two calls the plug-in base makes on it.
#pragma once

class IGraphics
{
public:
  virtual ~IGraphics() = default;
  virtual void SetParameterFromPlugin(int paramIdx, double value, bool normalized) = 0;
  virtual void PrepareDrawing() = 0;
};
