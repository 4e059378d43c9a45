#pragma once

#include <QImage>
#include <string>
#include <tuple>

// A scaled copy of a skin image: the image's file name, the size it was scaled to and the copy.
// Two containers are the same when name and size are, whatever the image.
class CBitmapContainer {
  public:
    CBitmapContainer(std::string name, int width, int height, QImage bitmap = {})
        : _name(std::move(name)), _width(width), _height(height), _bitmap(std::move(bitmap)) {}

    const std::string& GetName() const { return _name; }
    int GetWidth() const { return _width; }
    int GetHeight() const { return _height; }
    const QImage& GetBitmap() const { return _bitmap; }

    bool operator==(const CBitmapContainer& other) const {
        return _name == other._name && _width == other._width && _height == other._height;
    }
    bool operator<(const CBitmapContainer& other) const {
        return std::tie(_name, _width, _height) < std::tie(other._name, other._width, other._height);
    }

  private:
    std::string _name;
    int _width;
    int _height;
    QImage _bitmap;
};
