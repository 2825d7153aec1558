#include "app/d3d11_texture_windows.h"

#include <vector>

namespace {

template <typename T>
void release_one(T*& object) {
  if (object != nullptr) {
    object->Release();
    object = nullptr;
  }
}

}  // namespace

void DX11State::create_back_buffer_view() {
  if (swap_chain == nullptr || device == nullptr) return;
  ID3D11Texture2D* buffer = nullptr;
  if (FAILED(swap_chain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&buffer)))) return;
  if (FAILED(device->CreateRenderTargetView(buffer, nullptr, &back_buffer_view))) back_buffer_view = nullptr;
  buffer->Release();
}

void DX11State::release_back_buffer_view() { release_one(back_buffer_view); }

void DX11State::release() {
  release_one(back_buffer_view);
  release_one(preview_view);
  release_one(preview_texture);
  release_one(swap_chain);
  release_one(context);
  release_one(device);
}

void DX11State::create_texture(std::int32_t width, std::int32_t height) {
  release_one(preview_view);
  release_one(preview_texture);
  if (device == nullptr || width <= 0 || height <= 0) return;
  D3D11_TEXTURE2D_DESC desc = {};
  desc.Width = static_cast<UINT>(width);
  desc.Height = static_cast<UINT>(height);
  desc.MipLevels = 1;
  desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
  // A new texture's contents are undefined; the preview shows unrendered pixels as transparent,
  // so it starts as all zeros, as the other platform's does.
  const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
  D3D11_SUBRESOURCE_DATA initial = {zeros.data(), static_cast<UINT>(width) * 4, 0};
  if (FAILED(device->CreateTexture2D(&desc, &initial, &preview_texture))) {
    preview_texture = nullptr;
    return;
  }
  if (FAILED(device->CreateShaderResourceView(preview_texture, nullptr, &preview_view))) preview_view = nullptr;
  width_ = width;
  height_ = height;
}

void DX11State::update_texture(const PreviewImage& image, std::int32_t width, std::int32_t height) {
  if (preview_texture == nullptr || context == nullptr) return;
  if (width != width_ || height != height_) {
    create_texture(width, height);
    if (preview_texture == nullptr) return;
  }
  if (!staging_.copy_from(image, width, height)) return;
  context->UpdateSubresource(preview_texture, 0, nullptr, staging_.data(), static_cast<UINT>(width) * 4, 0);
}
