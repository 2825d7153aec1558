#pragma once
// The Direct3D 11 objects of the window and the preview texture drawn from them: the device, its
// immediate context, the swap chain and the back buffer's view, and one RGBA8 texture of the
// preview image's size with its shader-resource view. There is one, for the program's whole
// life; the COM references it holds are released by release(), at shutdown, not by its
// destructor. Used on the interface thread only.
#include <d3d11.h>

#include <cstdint>

#include "state/gpu_backend.h"
#include "state/preview_staging.h"

class DX11State : public IGpuBackend {
 public:
  DX11State() = default;
  DX11State(const DX11State&) = delete;
  DX11State& operator=(const DX11State&) = delete;
  ~DX11State() override = default;

  void create_texture(std::int32_t width, std::int32_t height) override;
  void update_texture(const PreviewImage& image, std::int32_t width, std::int32_t height) override;
  void* get_texture() const override { return preview_view; }
  bool is_valid() const override { return preview_view != nullptr; }
  std::int32_t get_width() const override { return width_; }
  std::int32_t get_height() const override { return height_; }

  // The back buffer's render-target view, made again after every resize; none when the buffer
  // cannot be had, and frames are then drawn without one.
  void create_back_buffer_view();
  void release_back_buffer_view();
  // Releases every object present, last-created first: back-buffer view, preview view, preview
  // texture, swap chain, context, device.
  void release();

  ID3D11Device* device = nullptr;
  ID3D11DeviceContext* context = nullptr;
  IDXGISwapChain* swap_chain = nullptr;
  ID3D11RenderTargetView* back_buffer_view = nullptr;
  ID3D11Texture2D* preview_texture = nullptr;
  ID3D11ShaderResourceView* preview_view = nullptr;

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  PreviewStaging staging_;
};
