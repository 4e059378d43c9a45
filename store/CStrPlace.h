#pragma once

#include <string>
#include <vector>

#include "store/CStrBase.h"

// A place (profile): the unit that owns time frames and to which cells are associated. Places
// sort by name; names are unique among places.
class CStrAction;

class CStrPlace : public CStrBase {
  public:
    CStrPlace() = default;
    CStrPlace(std::string name, std::string description, std::string image, int id);
    CStrPlace(const CStrPlace&) = default;
    CStrPlace& operator=(const CStrPlace&) = default;
    ~CStrPlace() override = default;

    // "CStrPlace:[CEOID,Id,Name,Description,Image]"
    std::string& toString(std::string& buffer) const override;
    // Empties the texts, sets Id to -1 and CEOID to 0.
    void Reset() override;
    int GetKey() const override { return _id; }
    void SetKey(int key) override { _id = key; }

    // Adds this place to the places table with one all-day frame per day of the week, Monday
    // first, each frame carrying its own copies of `actions`. Table errors propagate.
    virtual void AddMySelfAndDefaultSchedulesAndActions(const std::vector<CStrAction>* actions);
    // Writes the place with its cells, frames and actions into its "place" element.
    void ExportToXML(pugi::xml_node node) const override;

    const std::string& GetName() const { return _name; }
    void SetName(const std::string& name) { _name = name; }
    const std::string& GetDescription() const { return _description; }
    void SetDescripcion(const std::string& description) { _description = description; }
    const std::string& GetImage() const { return _image; }
    void SetImage(const std::string& image) { _image = image; }
    int GetId() const { return _id; }
    void SetId(int id) { _id = id; }

    // By name, in the order of the names' UTF-16 code units (the order the phone's lists used).
    bool operator<(const CStrPlace& other) const;
    bool operator<=(const CStrPlace& other) const;
    bool operator>(const CStrPlace& other) const;
    bool operator>=(const CStrPlace& other) const;

  private:
    std::string _name;
    std::string _description;
    std::string _image;
    int _id = -1;
};
