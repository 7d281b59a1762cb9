import QtQuick
import QtQuick.Controls

Page {
    required property QtObject controller
    title: "Probe"
}
