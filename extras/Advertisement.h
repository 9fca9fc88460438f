#pragma once

// The promotion window's advertisement for Varda, the maker's program for
// a whole network of meters (UTF-8 HTML).
inline constexpr const char* kAdvertisementHtml = R"(<html><body style="font-family: sans-serif">
<h1 style="color:#1a4f8a">Varda</h1>
<h3>Wszystkie mierniki w jednym oknie</h3>
<p>Program <b>Varda</b> firmy <b>Orlent</b> zbiera pomiary z wielu mierników temperatury,
wilgotności i ciśnienia jednocześnie &mdash; przez porty szeregowe, konwertery USB i sieć
lokalną &mdash; i pokazuje je na jednym ekranie.</p>
<h3>Co potrafi</h3>
<ul>
<li>do <b>64</b> mierników w jednej instalacji, każdy z własną nazwą i miejscem na planie budynku;</li>
<li>progi alarmowe dla każdej wielkości, z powiadomieniem e-mail i sygnałem dźwiękowym;</li>
<li>rejestracja wszystkich pomiarów w jednej bazie, z wykresami dobowymi, tygodniowymi i miesięcznymi;</li>
<li>raporty do wydruku i eksport do arkusza kalkulacyjnego;</li>
<li>odczyt plików zapisanych przez program QM482 i przez program Plotan.</li>
</ul>
<h3>Dla kogo</h3>
<p>Dla magazynów, archiwów, laboratoriów, serwerowni i wszędzie tam, gdzie warunki
otoczenia trzeba mieć pod stałą kontrolą i udokumentować.</p>
<table border="1" cellspacing="0" cellpadding="4">
<tr><th>Wersja</th><th>Mierniki</th><th>Stanowiska</th></tr>
<tr><td>Varda Start</td><td>do 8</td><td>1</td></tr>
<tr><td>Varda Biuro</td><td>do 24</td><td>3</td></tr>
<tr><td>Varda Pro</td><td>do 64</td><td>bez ograniczeń</td></tr>
</table>
<p>Wersję demonstracyjną, działającą przez 30 dni, można pobrać ze strony producenta.</p>
<p><i>Orlent Przyrządy Pomiarowe &mdash; pomiar, któremu można zaufać.</i></p>
</body></html>)";
